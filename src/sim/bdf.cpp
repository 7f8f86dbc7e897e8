#include "sim/bdf.h"

#include <cstdio>

namespace sim {

std::string Bdf::str() const {
  char text[16];
  std::snprintf(text, sizeof text, "%02x:%02x.%x", bus & 0xFF, device & 0x1F, function & 7);
  return text;
}

}  // namespace sim
