#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sim {

// The RAM of the machine: regions of host memory at physical addresses. The
// machine answers every address outside them from the PCI functions or with
// all ones.
class PhysicalMemory {
 public:
  // Adds a zero-filled region; throws MachineError when it overlaps another or
  // does not fit the 64-bit address space.
  uint8_t* addRam(uint64_t base, uint64_t size);

  // Host view of [address, address + length) when it lies inside one region, else null.
  uint8_t* find(uint64_t address, uint64_t length) const;

  // The region holding an address: its host view from there and the bytes left, or null.
  uint8_t* at(uint64_t address, uint64_t* bytesLeft) const;

 private:
  struct Region {
    uint64_t base;
    uint64_t size;
    std::unique_ptr<uint8_t[]> bytes;
  };
  std::vector<Region> regions_;
};

}  // namespace sim
