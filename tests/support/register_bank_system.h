#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <vector>

#include "support/fake_config_system.h"

// One function (bus 0, device 3) whose 32 registers answer both behind the I/O
// base and through the register window, each space gated by its decode bit in
// the command register like real hardware: a space switched off reads all ones
// and drops writes. Configuration dwords can be given read-only bits. Fault
// knobs make single registers misbehave.
class RegisterBankSystem : public FakeConfigSystem {
 public:
  static constexpr int kPositions = 32;
  static constexpr uint16_t kIoBase = 0xE000;
  static constexpr uint32_t kIoDecode = 0x1;
  static constexpr uint32_t kMemDecode = 0x2;

  struct Access {
    bool io;
    bool write;
    uint32_t offset;
    uint32_t value;
  };

  RegisterBankSystem() {
    config = &Add(0, 3, 0x00191011, 0x02000041);
    (*config)[1] = 0x02800000 | kIoDecode | kMemDecode;
    selectedBus = 0;
    selectedDevice = 3;
    ioBase = kIoBase;
    writable.fill(0xFFFFFFFF);
    configWritable.fill(0xFFFFFFFF);
  }

  // ---- Registers ----
  std::array<uint32_t, kPositions> value{};
  std::array<uint32_t, kPositions> writable{};  // bits a write changes; the others keep
  std::set<int> liveWhenOff;                    // positions that decode with the space off
  std::map<int, uint32_t> readWhenOff;          // what a position reads with the space off
  std::map<int, uint32_t> valueAfterOff;        // value a position takes when decoding returns
  std::vector<Access> accesses;

  // ---- Configuration ----
  FakeConfigSystem::Space* config;
  std::array<uint32_t, 64> configWritable{};
  std::vector<uint32_t> commandWrites;

  uint32_t Command() const { return (*config)[1]; }
  void SetDecode(uint32_t bits) { (*config)[1] = ((*config)[1] & ~(kIoDecode | kMemDecode)) | bits; }

  void WritePort32(uint16_t port, uint32_t data) override {
    if (port == 0xCFC && (address & 0x80000000u) && (address & 0x00FFFF00u) == Key(0, 3, 0)) {
      int index = static_cast<int>((address & 0xFC) >> 2);
      uint32_t before = (*config)[index];
      uint32_t stored = (before & ~configWritable[index]) | (data & configWritable[index]);
      if (index == 1) {
        commandWrites.push_back(data);
        DecodeChanged(before, stored);
      }
      log.push_back({true, port, data});
      (*config)[index] = stored;
      return;
    }
    if (port >= kIoBase && port < kIoBase + 4 * kPositions) {
      RegisterWrite(true, port - kIoBase, data);
      return;
    }
    FakeConfigSystem::WritePort32(port, data);
  }

  uint32_t ReadPort32(uint16_t port) override {
    if (port >= kIoBase && port < kIoBase + 4 * kPositions) return RegisterRead(true, port - kIoBase);
    return FakeConfigSystem::ReadPort32(port);
  }

  void WriteMem32(uint32_t offset, uint32_t data) override { RegisterWrite(false, offset & 0xFFF, data); }
  uint32_t ReadMem32(uint32_t offset) override { return RegisterRead(false, offset & 0xFFF); }

 private:
  bool Decodes(bool io, int position) const {
    uint32_t bit = io ? kIoDecode : kMemDecode;
    return (Command() & bit) != 0 || liveWhenOff.count(position) != 0;
  }

  // A space coming back on makes the registers with a lost value take it.
  void DecodeChanged(uint32_t before, uint32_t after) {
    uint32_t turnedOn = after & ~before & (kIoDecode | kMemDecode);
    if (turnedOn == 0) return;
    for (auto [position, v] : valueAfterOff) value[static_cast<size_t>(position)] = v;
  }

  uint32_t RegisterRead(bool io, uint32_t offset) {
    int position = static_cast<int>(offset / 4);
    uint32_t result = 0xFFFFFFFF;
    if (position < kPositions && offset % 4 == 0) {
      if (Decodes(io, position)) {
        result = value[static_cast<size_t>(position)];
      } else if (auto it = readWhenOff.find(position); it != readWhenOff.end()) {
        result = it->second;
      }
    }
    accesses.push_back({io, false, offset, result});
    return result;
  }

  void RegisterWrite(bool io, uint32_t offset, uint32_t data) {
    accesses.push_back({io, true, offset, data});
    int position = static_cast<int>(offset / 4);
    if (position >= kPositions || offset % 4 != 0 || !Decodes(io, position)) return;
    auto& v = value[static_cast<size_t>(position)];
    v = (v & ~writable[static_cast<size_t>(position)]) | (data & writable[static_cast<size_t>(position)]);
  }
};
