#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace sim {

enum class BarType { None, Io, Mem32 };

// One base address register: its kind and size. A BAR without a base gets one
// from the firmware allocator (AssignResources); a base of 0 never decodes.
struct BarSpec {
  int index = 0;
  BarType type = BarType::None;
  uint32_t size = 0;
  bool prefetchable = false;
  std::optional<uint32_t> base;
};

// A configuration dword given outright, replacing the standard definition.
struct ConfigDword {
  uint8_t offset = 0;
  uint32_t value = 0;
  uint32_t writable = 0;
  uint32_t w1c = 0;
};

// What a function is when it comes out of reset.
struct FunctionSpec {
  std::string name;          // label for reports; empty: "vvvv:dddd"
  uint16_t vendor = 0;
  uint16_t device = 0;
  uint32_t classCode = 0;    // base class << 16 | sub-class << 8 | programming interface
  uint8_t revision = 0;
  uint8_t headerType = 0;    // bit 7 (multi-function) is set by the machine as needed
  uint16_t subsystemVendor = 0;
  uint16_t subsystemId = 0;
  std::optional<uint16_t> command;  // none: decoding on for the kinds of BARs present
  uint16_t status = 0;
  std::vector<BarSpec> bars;
  std::vector<ConfigDword> config;  // applied last
};

// Number of BARs of a header layout: 6 for type 0, 2 for type 1 (bridges), else 0.
int BarCount(uint8_t headerType);

// Why a BAR cannot exist (empty when it can): size not a power of two or out of
// range for its kind, base not aligned or beyond the address space, bad index.
std::string BarSpecError(const BarSpec& bar, int barCount);

}  // namespace sim
