#pragma once
#include <cstdint>

#include "sim/pci_bus.h"
#include "sim/pci_function.h"

namespace sim {

// A PCI-to-PCI bridge (header type 1). It forwards configuration cycles for its
// secondary..subordinate range to the segment behind it, with the bus numbers
// read from its own (writable) registers 0x18-0x1A at the time of each cycle.
// I/O and memory are not windowed: every function decodes its own BARs.
class PciBridge : public PciFunction {
 public:
  // spec.headerType is forced to 1; classCode 0 becomes 06 04 00.
  PciBridge(const FunctionSpec& spec, uint8_t primary, uint8_t secondary, uint8_t subordinate);

  uint8_t primaryBus() const { return config().byte(0x18); }
  uint8_t secondaryBus() const { return config().byte(0x19); }
  uint8_t subordinateBus() const { return config().byte(0x1A); }

  PciBus& downstream() { return downstream_; }

 private:
  static FunctionSpec AsBridge(const FunctionSpec& spec);
  PciBus downstream_;
};

}  // namespace sim
