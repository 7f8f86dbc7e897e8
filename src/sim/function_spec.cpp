#include "sim/function_spec.h"

#include <bit>
#include <cstdio>

namespace sim {

int BarCount(uint8_t headerType) {
  switch (headerType & 0x7F) {
    case 0: return 6;
    case 1: return 2;
    default: return 0;
  }
}

std::string BarSpecError(const BarSpec& bar, int barCount) {
  char text[128];
  if (bar.index < 0 || bar.index >= barCount) {
    std::snprintf(text, sizeof text, "BAR index %d out of range (this header has %d BARs)",
                  bar.index, barCount);
    return text;
  }
  uint32_t minSize = 0;
  uint64_t maxSize = 0;
  uint64_t limit = 0;  // end of the address space the BAR lives in
  switch (bar.type) {
    case BarType::Io:
      minSize = 4, maxSize = 256, limit = 0x10000;
      break;
    case BarType::Mem32:
      minSize = 16, maxSize = 0x80000000u, limit = 0x100000000ull;
      break;
    case BarType::None:
      return "BAR has no type";
  }
  if (!std::has_single_bit(bar.size)) {
    std::snprintf(text, sizeof text, "BAR %d size %u is not a power of two", bar.index, bar.size);
    return text;
  }
  if (bar.size < minSize || bar.size > maxSize) {
    std::snprintf(text, sizeof text, "BAR %d size %u out of range (%u to %llu for %s BARs)",
                  bar.index, bar.size, minSize, static_cast<unsigned long long>(maxSize),
                  bar.type == BarType::Io ? "I/O" : "memory");
    return text;
  }
  if (bar.prefetchable && bar.type != BarType::Mem32) {
    std::snprintf(text, sizeof text, "BAR %d: only memory BARs can be prefetchable", bar.index);
    return text;
  }
  if (bar.base) {
    if (*bar.base % bar.size != 0) {
      std::snprintf(text, sizeof text, "BAR %d base 0x%x is not aligned to its size 0x%x",
                    bar.index, *bar.base, bar.size);
      return text;
    }
    if (*bar.base + uint64_t{bar.size} > limit) {
      std::snprintf(text, sizeof text, "BAR %d base 0x%x lies beyond the %s space", bar.index,
                    *bar.base, bar.type == BarType::Io ? "16-bit I/O" : "32-bit memory");
      return text;
    }
  }
  return {};
}

}  // namespace sim
