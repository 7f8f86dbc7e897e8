#pragma once
#include <compare>
#include <string>

namespace sim {

// Bus, device and function number of a PCI function, as written "01:1e.0".
struct Bdf {
  int bus = 0;
  int device = 0;
  int function = 0;

  std::string str() const;
  auto operator<=>(const Bdf&) const = default;
};

}  // namespace sim
