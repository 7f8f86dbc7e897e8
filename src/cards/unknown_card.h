#pragma once
#include "cards/pci_card.h"

// The card of every function the program does not drive: listed and identified
// like any other, no tests, configuration registers shown by name, no packet I/O.
class UnknownCard : public PCI_Card {
 public:
  explicit UnknownCard(PCI_System* system);

  uint32_t PhyId() override;
  bool IsFiber() override;
  bool Is64BitCapable() override;
  bool Is64BitSlot() override;
  const char* Name() override;
  EthernetAddress MacAddress() override;
  EthernetAddress VirtualMacAddress() override;
  bool HasFlash() override;
  const char* Reset() override;
  TestNameList BoardTestNames() override;
  const char* RunBoardTest(int index) override;
  TestNameList ExtraTestNames() override;
  const char* RunExtraTest(int index) override;
  const RegisterSet* RegisterSets() override;
  uint32_t ReadRegister(int set, uint32_t offset) override;
  void WriteRegister(int set, uint32_t offset, uint32_t value) override;
  uint16_t ReadEeprom(int word) override;
  void WriteEeprom(int word, uint16_t value) override;
  void EnableEepromWrite(bool enable) override;
  void OpenPacketEngine() override;
};
