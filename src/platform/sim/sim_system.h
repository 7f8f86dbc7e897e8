#pragma once
#include <cstdint>
#include <memory>

#include "pci/pci_system.h"
#include "sim/machine.h"

// PCI_System on a simulated PC. Ports and register windows are bus cycles of
// the machine; there is no host view of simulated registers, so regWindow and
// auxWindow stay null and the windows are kept as physical bases. Every wait is
// a skip of the machine's clock.
class SimSystem : public PCI_System {
 public:
  explicit SimSystem(std::unique_ptr<sim::Machine> machine);
  ~SimSystem() override;

  // Fills the DMA fields from the machine's DMA block and runs the bus scan;
  // null, or the scan's message.
  const char* Open();

  void SelectDevice(int bus, int device) override;
  bool MapWindow(uint32_t offset, uint32_t length) override;
  void UnmapWindow() override;
  void WritePort32(uint16_t port, uint32_t value) override;
  uint32_t ReadPort32(uint16_t port) override;
  void WriteMem32(uint32_t offset, uint32_t value) override;
  uint32_t ReadMem32(uint32_t offset) override;
  void WriteMem16(uint32_t index, uint16_t value) override;
  uint16_t ReadMem16(uint32_t index) override;
  void WriteMem8(uint32_t offset, uint8_t value) override;
  uint8_t ReadMem8(uint32_t offset) override;
  void StartTimeout(int seconds) override;
  bool TimedOut() override;
  void DelayMicroseconds(uint32_t microseconds) override;
  void SleepMilliseconds(uint32_t milliseconds) override;
  int64_t WallClockSeconds() override;
  uint64_t MonotonicMicroseconds() override;

  sim::Machine& machine() { return *machine_; }

  // The register window of the selected function (physical base), if mapped.
  bool windowMapped() const { return windowMapped_; }
  uint32_t windowPhysical() const { return windowPhysical_; }
  // The auxiliary window of MapWindow, if mapped.
  bool auxMapped() const { return auxMapped_; }
  uint32_t auxPhysical() const { return auxPhysical_; }
  uint32_t auxLength() const { return auxLength_; }

 private:
  std::unique_ptr<sim::Machine> machine_;
  bool windowMapped_ = false;
  uint32_t windowPhysical_ = 0;
  bool auxMapped_ = false;
  uint32_t auxPhysical_ = 0;
  uint32_t auxLength_ = 0;
};
