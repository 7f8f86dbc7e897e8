#pragma once
#include <cstdint>
#include <vector>

#include "hw/adapter.h"
#include "pci/pci_system.h"
#include "sim/csr9_lines.h"
#include "sim/lxt97x_phy.h"
#include "sim/serial_eeprom.h"

// A PCI_System whose CSR9 (offset 0x48) carries a simulated EEPROM and PHY, with
// a clock that only the program's delays move. Records what the program writes
// to CSR9 and how often it reads it.
class Csr9Bench : public PCI_System {
 public:
  explicit Csr9Bench(sim::PhyModel model = sim::PhyModel::Lxt970, sim::PhyMedia media = sim::PhyMedia::Tx,
                     const sim::SerialEeprom::Words& words = {})
      : eeprom(words), phy(model, media), lines(&eeprom, &phy) {
    adapter.host = this;
  }

  bool MapWindow(uint32_t, uint32_t) override { return false; }
  void UnmapWindow() override {}
  void WritePort32(uint16_t, uint32_t) override {}
  uint32_t ReadPort32(uint16_t) override { return 0xFFFFFFFF; }
  void WriteMem32(uint32_t offset, uint32_t value) override {
    if ((offset & 0xFFF) != kCsr9) return;
    writes.push_back(value);
    lines.write(value, now);
  }
  uint32_t ReadMem32(uint32_t offset) override {
    if ((offset & 0xFFF) != kCsr9) return 0;
    ++reads;
    return lines.read(now);
  }
  void WriteMem16(uint32_t, uint16_t) override {}
  uint16_t ReadMem16(uint32_t) override { return 0; }
  void WriteMem8(uint32_t, uint8_t) override {}
  uint8_t ReadMem8(uint32_t) override { return 0; }
  void StartTimeout(int seconds) override { deadline = WallClockSeconds() + seconds + 1; }
  bool TimedOut() override { return WallClockSeconds() >= deadline; }
  void DelayMicroseconds(uint32_t microseconds) override { now += microseconds; }
  void SleepMilliseconds(uint32_t milliseconds) override { now += uint64_t{milliseconds} * 1000; }
  int64_t WallClockSeconds() override { return static_cast<int64_t>(now / 1000000); }
  uint64_t MonotonicMicroseconds() override { return now; }

  void ClearLog() {
    writes.clear();
    reads = 0;
  }

  static constexpr uint32_t kCsr9 = 0x48;

  sim::SerialEeprom eeprom;
  sim::Lxt97xPhy phy;
  sim::Csr9Lines lines;
  Adapter adapter;
  uint64_t now = 0;
  std::vector<uint32_t> writes;
  int reads = 0;
};
