#pragma once
#include <cstddef>
#include <cstdint>

namespace sim {

// The IEEE 802.3 frame check sequence in its bit-reflected form (polynomial
// 0xEDB88320, register preset to all ones).

// The CRC register after the bytes, without the final inversion. The 21143
// takes the low 9 bits of it over a destination address as its hash index.
uint32_t EthernetCrcRegister(const uint8_t* data, size_t length);

// The frame check sequence (the register inverted); on the wire it follows the
// frame least significant byte first.
inline uint32_t EthernetFcs(const uint8_t* data, size_t length) { return ~EthernetCrcRegister(data, length); }

}  // namespace sim
