#include "sim/config_space.h"

namespace sim {

void ConfigSpace::write(uint8_t offset, uint32_t value, uint32_t byteEnables) {
  const int i = offset >> 2;
  const uint32_t writable = writable_[i] & byteEnables;
  uint32_t v = (value_[i] & ~writable) | (value & writable);
  v &= ~(w1c_[i] & byteEnables & value);
  value_[i] = v;
}

void ConfigSpace::define(uint8_t offset, uint32_t value, uint32_t writable, uint32_t w1c) {
  const int i = offset >> 2;
  value_[i] = value;
  writable_[i] = writable;
  w1c_[i] = w1c;
}

}  // namespace sim
