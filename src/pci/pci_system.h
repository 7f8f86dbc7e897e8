#pragma once
#include <cstdint>

#include "pci/pci_records.h"

class PCI_Card;

// Every access the program makes to hardware goes through one PCI_System: ports,
// configuration space, the selected function's register window, the DMA block and
// all time (delays, sleeps, time-outs). Backends implement the primitives; the
// configuration mechanism, the scan, device selection and the card factory are
// implemented here once, on top of them.
class PCI_System {
 public:
  PCI_System();
  virtual ~PCI_System();

  PCI_System(const PCI_System&) = delete;
  PCI_System& operator=(const PCI_System&) = delete;

  // ---- Virtual operations, in slot order ----
  virtual void SelectDevice(int bus, int device);
  virtual bool MapWindow(uint32_t offset, uint32_t length) = 0;
  virtual void UnmapWindow() = 0;
  virtual void WritePort32(uint16_t port, uint32_t value) = 0;
  virtual uint32_t ReadPort32(uint16_t port) = 0;
  virtual void WriteMem32(uint32_t offset, uint32_t value) = 0;
  virtual uint32_t ReadMem32(uint32_t offset) = 0;
  virtual void WriteMem16(uint32_t index, uint16_t value) = 0;
  virtual uint16_t ReadMem16(uint32_t index) = 0;
  virtual void WriteMem8(uint32_t offset, uint8_t value) = 0;
  virtual uint8_t ReadMem8(uint32_t offset) = 0;
  virtual void StartTimeout(int seconds) = 0;
  virtual bool TimedOut() = 0;
  virtual void DelayMicroseconds(uint32_t microseconds) = 0;

  // ---- Time services beyond the original slots ----
  // Every wait of the program goes through the backend so that a simulated
  // machine can skip it while hardware really waits.
  virtual void SleepMilliseconds(uint32_t milliseconds) = 0;
  // Wall-clock time in whole seconds (the resolution of StartTimeout/TimedOut).
  virtual int64_t WallClockSeconds() = 0;
  // Monotonic time in microseconds, for durations and refresh intervals.
  virtual uint64_t MonotonicMicroseconds() = 0;

  // ---- Configuration space (mechanism 1 through ports 0xCF8/0xCFC) ----
  static uint32_t ConfigAddress(int bus, int device, int offset, int function);
  uint32_t ReadConfig32(int bus, int device, int offset, int function);
  int ReadConfig16(int bus, int device, int offset, int function, uint16_t* value);
  int ReadConfig8(int bus, int device, int offset, int function, uint8_t* value);
  uint32_t ReadDeviceConfig32(int offset);
  void WriteDeviceConfig32(int offset, uint32_t value);

  // ---- Bus scan, lists and the card factory ----
  const char* ScanBuses();
  bool AddBus(PciBusInfo* bus);
  bool AddDevice(uint32_t busNumber, PciDeviceInfo* device);
  uint8_t DeviceCount() const { return deviceCount; }
  PCI_Card* CreateCard(const PciDeviceInfo* device);

  // ---- Fields, in declaration order ----
  PciBusInfo* busList = nullptr;
  int32_t selectedBus = 0;
  int32_t selectedDevice = 0;
  PCI_Card* card = nullptr;
  uint32_t ioBase = 0;
  uint32_t memBase = 0;
  uint32_t windowBase = 0;
  uint8_t* regWindow = nullptr;
  uint8_t* auxWindow = nullptr;
  uint8_t* dmaVirtual = nullptr;
  uint32_t dmaPhysical = 0;
  uint32_t dmaSize = 0x10000;
  uint8_t deviceCount = 0;

 protected:
  // Deadline of StartTimeout in wall-clock seconds, shared by the backends.
  int64_t deadline = 0;

 private:
  void FreeLists();
};
