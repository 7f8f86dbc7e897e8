#include "hw/srom_crc.h"

namespace {

constexpr uint32_t kCrc32Poly = 0xEDB88320u;
constexpr uint8_t kCrc8Poly = 0x07;
constexpr int kIdCrcWord = 8;
constexpr int kCrcWord = 63;
constexpr int kCoveredBytes = 2 * kCrcWord;  // words 0 to 62

// Advances the CRC-8 register by the low `count` bits of `bits`, most significant first.
uint8_t crc8_bits(uint8_t c, uint32_t bits, int count) {
  for (int i = count - 1; i >= 0; --i) {
    uint32_t feedback = ((bits >> i) ^ (c >> 7)) & 1u;
    c = static_cast<uint8_t>(c << 1);
    if (feedback) c ^= kCrc8Poly;
  }
  return c;
}

uint32_t image_crc_register(const uint16_t* image) {
  uint8_t bytes[kCoveredBytes];
  for (int w = 0; w < kCrcWord; ++w) {
    bytes[2 * w] = static_cast<uint8_t>(image[w]);
    bytes[2 * w + 1] = static_cast<uint8_t>(image[w] >> 8);
  }
  return crc32_register(bytes, kCoveredBytes);
}

}  // namespace

uint32_t crc32_register(const uint8_t* bytes, int count) {
  uint32_t r = 0xFFFFFFFFu;
  for (int n = 0; n < count; ++n) {
    uint32_t byte = bytes[n];
    for (int bit = 0; bit < 8; ++bit) {
      uint32_t in = (byte >> bit) & 1u;
      r = ((r ^ in) & 1u) ? (r >> 1) ^ kCrc32Poly : r >> 1;
    }
  }
  return r;
}

uint8_t srom_id_block_crc(const uint16_t* image) {
  uint8_t c = 0xFF;
  for (int w = 0; w < kIdCrcWord; ++w) c = crc8_bits(c, image[w], 16);
  return crc8_bits(c, static_cast<uint32_t>(image[kIdCrcWord] >> 8), 8);
}

uint16_t srom_image_crc(const uint16_t* image) {
  return static_cast<uint16_t>(image_crc_register(image) ^ 0xFFFFu);
}

uint32_t srom_fix_checksums(uint16_t* image) {
  uint8_t id = srom_id_block_crc(image);
  image[kIdCrcWord] = static_cast<uint16_t>((image[kIdCrcWord] & 0xFF00u) | id);
  uint32_t r = image_crc_register(image) ^ 0xFFFFu;
  image[kCrcWord] = static_cast<uint16_t>(r);
  return r;
}
