#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

namespace sim {

// The 21143's receive address filter as a setup frame loads it: 192 bytes, 48
// little-endian longwords of which only the low 16 bits count.
//
// Perfect filtering: 16 addresses of three longwords each (bytes a0 a1 in the
// first, a2 a3 in the second, a4 a5 in the third). Hash filtering: longwords 0 to
// 31 hold the 512-bit table (bit k is bit k mod 16 of longword k / 16), longwords
// 39 to 41 the one perfect address for frames addressed to a single station.
// Hash-only filtering hashes every address. Inverse filtering passes what the 16
// perfect addresses do not.
class SetupFilter {
 public:
  static constexpr size_t kFrameBytes = 192;

  // The filtering type of the setup descriptor (FT1, FT0).
  enum class Mode { Perfect = 0, Hash = 1, Inverse = 2, HashOnly = 3 };
  using Address = std::array<uint8_t, 6>;

  // Loads a setup frame into the filter memory; a shorter buffer is taken as
  // padded with zeros. The memory keeps its contents over a software reset.
  void load(const uint8_t* frame, size_t length);

  // Whether the filter passes a frame with this destination address when the
  // memory is read in the given mode (the chip's CSR6 filtering bits).
  bool passes(const uint8_t* destination, Mode mode) const;

  // Bit of the hash table that an address selects: the low 9 bits of the CRC
  // register over its six bytes.
  static int HashIndex(const uint8_t* address);

  // The memory read as tables.
  Address perfect(int index) const { return addressAt(3 * index); }
  Address hashPerfect() const { return addressAt(39); }
  bool hashBit(int index) const;

 private:
  uint16_t longword(int index) const;
  Address addressAt(int longword) const;
  bool inPerfectTable(const uint8_t* destination) const;

  std::array<uint8_t, kFrameBytes> memory_{};
};

}  // namespace sim
