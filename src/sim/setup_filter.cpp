#include "sim/setup_filter.h"

#include <algorithm>
#include <cstring>

#include "sim/ethernet_crc.h"

namespace sim {

int SetupFilter::HashIndex(const uint8_t* address) {
  return static_cast<int>(EthernetCrcRegister(address, 6) & 0x1FF);
}

void SetupFilter::load(const uint8_t* frame, size_t length) {
  memory_.fill(0);
  std::memcpy(memory_.data(), frame, std::min(length, kFrameBytes));
}

uint16_t SetupFilter::longword(int index) const {
  const uint8_t* p = memory_.data() + 4 * index;
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}

// Three longwords, low 16 bits each, low byte first, make one address.
SetupFilter::Address SetupFilter::addressAt(int first) const {
  Address a{};
  for (int i = 0; i < 3; ++i) {
    const uint16_t w = longword(first + i);
    a[2 * i] = static_cast<uint8_t>(w);
    a[2 * i + 1] = static_cast<uint8_t>(w >> 8);
  }
  return a;
}

bool SetupFilter::hashBit(int index) const { return (longword(index / 16) >> (index % 16)) & 1; }

bool SetupFilter::inPerfectTable(const uint8_t* destination) const {
  for (int e = 0; e < 16; ++e) {
    if (std::memcmp(perfect(e).data(), destination, 6) == 0) return true;
  }
  return false;
}

bool SetupFilter::passes(const uint8_t* destination, Mode mode) const {
  const bool multicast = (destination[0] & 1) != 0;
  switch (mode) {
    case Mode::Perfect:
      return inPerfectTable(destination);
    case Mode::Inverse:
      return !inPerfectTable(destination);
    case Mode::Hash:
      if (!multicast) return std::memcmp(hashPerfect().data(), destination, 6) == 0;
      return hashBit(HashIndex(destination));
    case Mode::HashOnly:
      return hashBit(HashIndex(destination));
  }
  return false;
}

}  // namespace sim
