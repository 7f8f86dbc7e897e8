#pragma once
#include <cstdint>

#include "cards/register_set.h"
#include "production/ethernet_address.h"

class PCI_System;
class EchoReporter;
struct Adapter;

// The selected PCI function as the dialogs and network tests see it. A null
// result text means success; anything else is the reason, valid until the
// same operation runs again. Operations that cannot run at all throw a text.
class PCI_Card {
 public:
  explicit PCI_Card(PCI_System* system);
  virtual ~PCI_Card();

  PCI_Card(const PCI_Card&) = delete;
  PCI_Card& operator=(const PCI_Card&) = delete;

  // ---- Virtual operations, in slot order ----
  virtual void SetReporters(EchoReporter* first, EchoReporter* second);
  virtual const char* RunEchoTest(EchoReporter* first, EchoReporter* second, int packetCount,
                                  EthernetAddress server);
  virtual uint16_t VendorId();
  virtual uint16_t DeviceId();
  virtual uint16_t SubsystemVendorId();
  virtual uint16_t SubsystemId();
  virtual uint8_t BaseClass();
  virtual uint8_t SubClass();
  virtual uint8_t RevisionId();
  virtual void SetPort(int index);
  virtual int GetPort();
  virtual int Reserved1();  // unnamed slot: answers 0, nothing calls it
  virtual uint32_t PhyId();
  virtual bool IsFiber() = 0;
  virtual bool Is64BitCapable() = 0;
  virtual bool Is64BitSlot();
  virtual const char* Name() = 0;
  virtual EthernetAddress MacAddress() = 0;
  virtual EthernetAddress VirtualMacAddress() = 0;
  virtual bool HasFlash() = 0;
  virtual int Reserved2();  // unnamed slot: answers 1, nothing calls it
  virtual int PortCount();
  virtual const char* Reset();
  virtual TestNameList BoardTestNames() = 0;
  virtual const char* RunBoardTest(int index) = 0;
  virtual int BoardTestCount();
  virtual TestNameList ExtraTestNames() = 0;
  virtual const char* RunExtraTest(int index) = 0;
  virtual int ExtraTestCount();
  virtual const RegisterSet* RegisterSets() = 0;
  virtual uint32_t ReadRegister(int set, uint32_t offset) = 0;
  virtual void WriteRegister(int set, uint32_t offset, uint32_t value);
  virtual uint16_t ReadEeprom(int word) = 0;
  virtual void WriteEeprom(int word, uint16_t value) = 0;
  virtual void EnableEepromWrite(bool enable) = 0;
  virtual void BuildEepromImage(uint16_t* image, EthernetAddress address);
  virtual void ReadFlash(uint32_t address, uint8_t* buffer, int length);
  virtual void OpenPacketEngine() = 0;
  virtual void SendPacket(const uint8_t* frame, int length);
  virtual bool ReceivePacket(uint8_t* buffer, int* length);
  virtual void ClosePacketEngine();

  // ---- Generic board checks (non-virtual) ----
  // Read-only bits of configuration space stay unchanged when written.
  const char* CheckReadOnlyConfigBits(const uint32_t* readOnlyMask, int count);
  // Reset values, write-only bits and address decoding of the registers
  // behind the I/O base and behind the register window.
  const char* CheckIoRegisters(const uint32_t* valueMask, const uint32_t* expected, const uint32_t* writeOnly,
                               int count);
  const char* CheckMemRegisters(const uint32_t* valueMask, const uint32_t* expected, const uint32_t* writeOnly,
                                int count);
  // Stuck bits, bad bits and write protection of the 64-word serial EEPROM.
  const char* TestEeprom();

  // ---- Fields, in declaration order ----
  PCI_System* system;
  EchoReporter* reporter1 = nullptr;
  EchoReporter* reporter2 = nullptr;
  Adapter* adapter = nullptr;
  int32_t port = 0;

 protected:
  // Counts the entries of a null-ended test-name list; 0 for no list.
  static int CountNames(TestNameList names);
};
