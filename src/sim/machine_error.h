#pragma once
#include <stdexcept>

namespace sim {

// A machine that cannot be built as asked (duplicate slot, unreachable bus, bad BAR).
struct MachineError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

}  // namespace sim
