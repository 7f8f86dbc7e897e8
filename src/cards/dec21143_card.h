#pragma once
#include <cstdint>

#include "cards/pci_card.h"

// The maker's adapters on a DEC 21143 with a Level1 PHY at MII address 1 and a
// 64-word serial EEPROM: everything that depends on the controller. The model
// name, the test catalogues and the EEPROM defaults come from R51_Card and
// R83_Card.
class DEC21143_Card : public PCI_Card {
 public:
  // Creates the zeroed packet-engine record, linked back to the system.
  explicit DEC21143_Card(PCI_System* system);

  // The PHY identifier (revision bits cleared), read once and then kept in
  // adapter->phykind.
  uint32_t PhyId() override;
  // True when the PHY does not advertise 100BASE-TX (a fibre front end).
  bool IsFiber() override;
  bool Is64BitCapable() override;
  // From EEPROM words 42, 43 and 44, high byte of each first.
  EthernetAddress MacAddress() override;
  // The fixed address 00:00:00:ff:ff:ff.
  EthernetAddress VirtualMacAddress() override;
  bool HasFlash() override;
  // Controller and PHY reset, then out of sleep and snooze; always null.
  const char* Reset() override;
  // "PCI Configuration", "DEC 21143 MAC", "Level1 PHY", "Serial EEPROM".
  const RegisterSet* RegisterSets() override;
  // Set 0 configuration dword, 1 controller register (byte offsets), 2 PHY
  // register, 3 EEPROM word (numbers); other sets read 0 and ignore writes.
  uint32_t ReadRegister(int set, uint32_t offset) override;
  void WriteRegister(int set, uint32_t offset, uint32_t value) override;
  uint16_t ReadEeprom(int word) override;
  void WriteEeprom(int word, uint16_t value) override;
  void EnableEepromWrite(bool enable) override;
  // Starts the packet engine with 16 receive and 16 transmit descriptors and
  // the station filter (100 Mb/s full duplex on fibre). Throws a text starting
  // with "Error initializing R83 device driver" when the engine cannot start.
  void OpenPacketEngine() override;

  // PHY register tests for the two Level1 parts; null or the first failure.
  virtual const char* TestLxt970();
  virtual const char* TestLxt971();

  uint16_t ReadPhyRegister(int reg);
  void WritePhyRegister(int reg, uint16_t value);
  // Runs the test of the identified PHY, or answers "Unknown Phy Type!".
  const char* RunPhyTest();
  // The controller's registers through I/O and memory space (32 positions).
  const char* TestIoRegisters();
  const char* TestMemoryRegisters();

  bool phyIdentified = false;

  // Position names of the "Level1 PHY" set, which the R51's sets share.
  static const char* const kPhyRegisterNames[21];
};
