#pragma once
#include <array>
#include <vector>

namespace sim {

class PciFunction;
class PciBridge;

// One physical bus segment: 32 device slots of 8 functions. Its bus number is
// not its own: the root segment is bus 0, any other takes the secondary bus
// number its bridge is programmed with at the moment of the cycle.
class PciBus {
 public:
  PciFunction* slot(int device, int function) const { return slots_[device * 8 + function]; }
  void attach(int device, int function, PciFunction* fn);

  // Bridges on this segment, in slot order.
  const std::vector<PciBridge*>& bridges() const { return bridges_; }

  // The segment that a configuration cycle for bus `number` reaches when this
  // segment has the number `self`: this one for a type 0 cycle, else through the
  // first bridge (slot order) whose secondary..subordinate range holds the number.
  // Null when no bridge claims it.
  PciBus* route(int number, int self);

 private:
  std::array<PciFunction*, 256> slots_{};
  std::vector<PciBridge*> bridges_;
};

}  // namespace sim
