#include "sim/ethernet_crc.h"

#include <array>

namespace sim {

namespace {

constexpr std::array<uint32_t, 256> MakeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t r = i;
    for (int bit = 0; bit < 8; ++bit) r = (r & 1) ? (r >> 1) ^ 0xEDB88320u : r >> 1;
    table[i] = r;
  }
  return table;
}

constexpr std::array<uint32_t, 256> kTable = MakeTable();

}  // namespace

uint32_t EthernetCrcRegister(const uint8_t* data, size_t length) {
  uint32_t r = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) r = (r >> 8) ^ kTable[(r ^ data[i]) & 0xFF];
  return r;
}

}  // namespace sim
