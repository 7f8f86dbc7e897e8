#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <vector>

#include "pci/pci_system.h"

// A PCI_System over a flat table of configuration spaces decoded from ports
// 0xCF8/0xCFC, recording every port access. Small enough to build exact scan
// topologies in a few lines.
class FakeConfigSystem : public PCI_System {
 public:
  struct PortAccess {
    bool write;
    uint16_t port;
    uint32_t value;
  };

  using Space = std::array<uint32_t, 64>;

  // Adds function 0 of bus:device with the given ID dword and class dword.
  Space& Add(int bus, int device, uint32_t id, uint32_t classDword, uint32_t headerDword = 0) {
    Space& space = functions[Key(bus, device, 0)];
    space.fill(0);
    space[0] = id;
    space[2] = classDword;
    space[3] = headerDword;
    return space;
  }

  bool MapWindow(uint32_t, uint32_t) override { return false; }
  void UnmapWindow() override {}
  void WritePort32(uint16_t port, uint32_t value) override {
    log.push_back({true, port, value});
    if (port == 0xCF8) {
      address = value;
    } else if (port == 0xCFC && (address & 0x80000000u)) {
      auto it = functions.find(address & 0x00FFFF00u);
      if (it != functions.end()) it->second[(address & 0xFC) >> 2] = value;
    }
  }
  uint32_t ReadPort32(uint16_t port) override {
    uint32_t value = 0xFFFFFFFF;
    if (port == 0xCF8) {
      value = address;
    } else if (port == 0xCFC && (address & 0x80000000u)) {
      auto it = functions.find(address & 0x00FFFF00u);
      if (it != functions.end()) value = it->second[(address & 0xFC) >> 2];
    }
    log.push_back({false, port, value});
    return value;
  }
  void WriteMem32(uint32_t, uint32_t) override {}
  uint32_t ReadMem32(uint32_t) override { return 0; }
  void WriteMem16(uint32_t, uint16_t) override {}
  uint16_t ReadMem16(uint32_t) override { return 0; }
  void WriteMem8(uint32_t, uint8_t) override {}
  uint8_t ReadMem8(uint32_t) override { return 0; }
  void StartTimeout(int seconds) override { deadline = seconds; }
  bool TimedOut() override { return false; }
  void DelayMicroseconds(uint32_t) override {}
  void SleepMilliseconds(uint32_t) override {}
  int64_t WallClockSeconds() override { return 0; }
  uint64_t MonotonicMicroseconds() override { return 0; }

  static uint32_t Key(int bus, int device, int function) {
    return (static_cast<uint32_t>(bus) << 16) | (static_cast<uint32_t>(device) << 11) |
           (static_cast<uint32_t>(function) << 8);
  }

  std::map<uint32_t, Space> functions;
  std::vector<PortAccess> log;
  uint32_t address = 0;
};
