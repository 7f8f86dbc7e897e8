#include "sim/pci_bus.h"

#include <algorithm>

#include "sim/pci_bridge.h"

namespace sim {

void PciBus::attach(int device, int function, PciFunction* fn) {
  slots_[device * 8 + function] = fn;
  if (auto* bridge = dynamic_cast<PciBridge*>(fn)) {
    const int key = device * 8 + function;
    auto pos = std::find_if(bridges_.begin(), bridges_.end(), [&](PciBridge* b) {
      const Bdf at = b->placedAt();
      return at.device * 8 + at.function > key;
    });
    bridges_.insert(pos, bridge);
  }
}

PciBus* PciBus::route(int number, int self) {
  if (number == self) return this;
  // The segments form a tree, so descending always ends.
  for (PciBridge* bridge : bridges_) {
    const int secondary = bridge->secondaryBus();
    if (secondary <= number && number <= bridge->subordinateBus()) {
      return bridge->downstream().route(number, secondary);
    }
  }
  return nullptr;
}

}  // namespace sim
