#pragma once
#include <array>
#include <cstdint>

namespace sim {

// The 256-byte configuration space of one PCI function. Every dword has a value,
// a mask of bits the bus may write and a mask of write-one-to-clear bits.
// Offsets are byte offsets; the low two bits are ignored (dword registers).
class ConfigSpace {
 public:
  static constexpr int kSize = 256;
  static constexpr int kDwords = kSize / 4;

  uint32_t read(uint8_t offset) const { return value_[offset >> 2]; }

  // A configuration write cycle. byteEnables selects the byte lanes that take
  // part (0xFFFFFFFF for a dword write). Writable bits take the new value, then
  // w1c bits written as one are cleared.
  void write(uint8_t offset, uint32_t value, uint32_t byteEnables = 0xFFFFFFFFu);

  // Defines a register: its value and masks.
  void define(uint8_t offset, uint32_t value, uint32_t writable = 0, uint32_t w1c = 0);

  // Device-side changes, regardless of the masks (a status bit the device raises).
  void set(uint8_t offset, uint32_t value) { value_[offset >> 2] = value; }
  void setBits(uint8_t offset, uint32_t bits) { value_[offset >> 2] |= bits; }
  void clearBits(uint8_t offset, uint32_t bits) { value_[offset >> 2] &= ~bits; }

  uint32_t writable(uint8_t offset) const { return writable_[offset >> 2]; }
  uint32_t w1c(uint8_t offset) const { return w1c_[offset >> 2]; }

  // Field helpers on the value (no masks involved).
  uint8_t byte(uint8_t offset) const {
    return static_cast<uint8_t>(value_[offset >> 2] >> ((offset & 3) * 8));
  }
  uint16_t word(uint8_t offset) const {
    return static_cast<uint16_t>(value_[offset >> 2] >> ((offset & 2) * 8));
  }

 private:
  std::array<uint32_t, kDwords> value_{};
  std::array<uint32_t, kDwords> writable_{};
  std::array<uint32_t, kDwords> w1c_{};
};

}  // namespace sim
