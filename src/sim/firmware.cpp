#include "sim/firmware.h"

#include <algorithm>
#include <vector>

#include "sim/machine.h"
#include "sim/pci_function.h"

namespace sim {

namespace {

struct Range {
  uint64_t base;
  uint64_t end;
};

// Next address from `from` aligned to `align` where [address, address + size)
// stays clear of the taken ranges and below `limit`; 0 if there is none.
uint64_t Place(uint64_t from, uint64_t size, uint64_t align, uint64_t limit,
               const std::vector<Range>& taken) {
  uint64_t address = (from + align - 1) / align * align;
  for (bool moved = true; moved;) {
    moved = false;
    for (const Range& r : taken) {
      if (address < r.end && r.base < address + size) {
        address = (r.end + align - 1) / align * align;
        moved = true;
      }
    }
  }
  return address + size <= limit ? address : 0;
}

}  // namespace

void AssignResources(Machine& machine) {
  std::vector<PciFunction*> order = machine.functions();
  std::stable_sort(order.begin(), order.end(), [](const PciFunction* a, const PciFunction* b) {
    return a->placedAt() < b->placedAt();
  });

  std::vector<Range> takenIo, takenMem;
  for (const PciFunction* fn : order) {
    for (int i = 0; i < fn->barCount(); ++i) {
      const BarSpec& bar = fn->bar(i);
      if (bar.type == BarType::None || !bar.base || *bar.base == 0) continue;
      (bar.type == BarType::Io ? takenIo : takenMem).push_back({*bar.base, uint64_t{*bar.base} + bar.size});
    }
  }

  uint64_t nextIo = kFirmwareIoStart, nextMem = kFirmwareMemStart;
  for (PciFunction* fn : order) {
    for (int i = 0; i < fn->barCount(); ++i) {
      const BarSpec& bar = fn->bar(i);
      if (bar.type == BarType::None || bar.base) continue;
      const bool io = bar.type == BarType::Io;
      const uint64_t align = io ? bar.size : std::max<uint64_t>(bar.size, 0x1000);
      uint64_t& next = io ? nextIo : nextMem;
      const uint64_t address = Place(next, bar.size, align, io ? kFirmwareIoEnd : kFirmwareMemEnd,
                                     io ? takenIo : takenMem);
      if (address == 0) {
        throw ResourceError("no room left for BAR " + std::to_string(i) + " of " +
                                fn->placedAt().str() + (io ? " in I/O space" : " in memory space"),
                            fn->placedAt());
      }
      fn->setBarBase(i, static_cast<uint32_t>(address));
      next = address + (io ? bar.size : align);
    }
  }
}

}  // namespace sim
