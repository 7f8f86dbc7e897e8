#include "sim/physical_memory.h"

#include "sim/machine_error.h"

namespace sim {

uint8_t* PhysicalMemory::addRam(uint64_t base, uint64_t size) {
  if (size == 0 || base + size < base) throw MachineError("RAM region does not fit the address space");
  for (const Region& r : regions_) {
    if (base < r.base + r.size && r.base < base + size) {
      throw MachineError("RAM region overlaps another region");
    }
  }
  regions_.push_back(Region{base, size, std::make_unique<uint8_t[]>(size)});
  return regions_.back().bytes.get();
}

uint8_t* PhysicalMemory::at(uint64_t address, uint64_t* bytesLeft) const {
  for (const Region& r : regions_) {
    if (address >= r.base && address - r.base < r.size) {
      *bytesLeft = r.size - (address - r.base);
      return r.bytes.get() + (address - r.base);
    }
  }
  return nullptr;
}

uint8_t* PhysicalMemory::find(uint64_t address, uint64_t length) const {
  uint64_t left = 0;
  uint8_t* p = at(address, &left);
  return p != nullptr && length <= left ? p : nullptr;
}

}  // namespace sim
