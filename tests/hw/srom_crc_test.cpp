#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

#include "hw/srom_crc.h"

namespace {

using Image = std::array<uint16_t, 64>;

// References written the other way round from the production loops: the CRC-32
// in its textbook non-reflected form over bit-reversed bytes, and the CRC-8 as
// the usual byte-wise XOR-then-shift over the bytes in the order 1, 0, 3, 2 ... 17.
uint8_t Reverse8(uint8_t b) {
  uint8_t r = 0;
  for (int i = 0; i < 8; ++i) r = static_cast<uint8_t>(r | (((b >> i) & 1) << (7 - i)));
  return r;
}
uint32_t Reverse32(uint32_t v) {
  uint32_t r = 0;
  for (int i = 0; i < 32; ++i) r |= ((v >> i) & 1u) << (31 - i);
  return r;
}
uint32_t ReferenceCrc32Register(const std::vector<uint8_t>& bytes) {
  uint32_t crc = 0xFFFFFFFF;
  for (uint8_t b : bytes) {
    crc ^= static_cast<uint32_t>(Reverse8(b)) << 24;
    for (int i = 0; i < 8; ++i) crc = (crc & 0x80000000u) ? (crc << 1) ^ 0x04C11DB7u : crc << 1;
  }
  return Reverse32(crc);
}
uint8_t ReferenceIdCrc(const Image& w) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 8; ++i) {
    bytes.push_back(static_cast<uint8_t>(w[i] >> 8));
    bytes.push_back(static_cast<uint8_t>(w[i] & 0xFF));
  }
  bytes.push_back(static_cast<uint8_t>(w[8] >> 8));
  uint8_t c = 0xFF;
  for (uint8_t b : bytes) {
    c ^= b;
    for (int i = 0; i < 8; ++i) c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
  }
  return c;
}
std::vector<uint8_t> CoveredBytes(const Image& w) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 63; ++i) {
    bytes.push_back(static_cast<uint8_t>(w[i] & 0xFF));
    bytes.push_back(static_cast<uint8_t>(w[i] >> 8));
  }
  return bytes;
}

// An R83 TX image for 00:a0:c9:12:34:56, programmed 12/31/2002, laid out by hand
// from the layout table (checksum words still 0).
Image HandBuiltTxImage() {
  Image w{};
  w[0] = 0x13D8;
  w[1] = 0x0430;
  w[9] = 0x0104;
  w[10] = 0xA000;
  w[11] = 0x12C9;
  w[12] = 0x5634;
  w[13] = 0x1E00;
  w[15] = 0x0800;
  w[16] = 0x1101;
  w[17] = 0x0003;
  w[18] = 0x0E02;
  w[19] = 0x0E08;
  w[21] = 0x7800;
  w[22] = 0x01E0;
  w[23] = 0x5000;
  w[24] = 0x1800;
  w[42] = 0x00A0;
  w[43] = 0xC912;
  w[44] = 0x3456;
  w[45] = 0x199F;
  w[46] = 0x0400;
  w[51] = 1;
  w[52] = 0x0033;
  return w;
}

TEST(Crc32RegisterTest, KnownValuesAndReference) {
  EXPECT_EQ(crc32_register(nullptr, 0), 0xFFFFFFFFu);
  const char* check = "123456789";
  EXPECT_EQ(crc32_register(reinterpret_cast<const uint8_t*>(check), 9), 0x340BC6D9u);
  // A multicast address, the engine's other use: agrees with the reference.
  std::vector<uint8_t> multicast = {0x01, 0x00, 0x5E, 0x00, 0x00, 0x01};
  EXPECT_EQ(crc32_register(multicast.data(), 6), ReferenceCrc32Register(multicast));
  std::vector<uint8_t> all(256);
  for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  EXPECT_EQ(crc32_register(all.data(), 256), ReferenceCrc32Register(all));
}

TEST(SromFixChecksumsTest, KnownImages) {
  struct Case {
    const char* what;
    Image image;
    uint8_t idCrc;
    uint16_t imageCrc;  // low half of zlib's CRC-32 of bytes 0 to 125
  };
  Image fx = HandBuiltTxImage();
  fx[1] = 0x0432;
  fx[15] = 0x0010;
  fx[21] = 0x6000;
  fx[22] = 0x0180;
  fx[24] = 0x0000;
  fx[46] = 0x0406;
  fx[47] = 1;
  fx[49] = 1;
  fx[51] = 0;
  const Case cases[] = {
      {"zero image", Image{}, 0xE1, 0xAE36},
      {"R83 TX", HandBuiltTxImage(), 0xF0, 0x90D2},
      {"R83 FX", fx, 0x3D, 0xCDD6},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image w = c.image;
    uint32_t result = srom_fix_checksums(w.data());
    EXPECT_EQ(w[8], c.idCrc);
    EXPECT_EQ(w[63], c.imageCrc);
    EXPECT_EQ(w[8] & 0xFF, ReferenceIdCrc(c.image));
    EXPECT_EQ(result, ReferenceCrc32Register(CoveredBytes(w)) ^ 0xFFFFu);
    EXPECT_EQ(result & 0xFFFF, w[63]);
    // Only words 8 and 63 change.
    for (int i = 0; i < 63; ++i) {
      if (i == 8) continue;
      EXPECT_EQ(w[static_cast<size_t>(i)], c.image[static_cast<size_t>(i)]) << i;
    }
    // The stored values are what the verifying halves compute.
    EXPECT_EQ(srom_id_block_crc(w.data()), w[8] & 0xFF);
    EXPECT_EQ(srom_image_crc(w.data()), w[63]);
  }
}

TEST(SromFixChecksumsTest, LowByteOfWord8HasNoInfluenceAndHighByteIsKeptAndCounts) {
  Image base = HandBuiltTxImage();
  Image reference = base;
  uint32_t expected = srom_fix_checksums(reference.data());
  for (uint16_t low : {0x00, 0x01, 0x5A, 0xF0, 0xFF}) {
    Image w = base;
    w[8] = low;
    w[63] = 0xBEEF;  // word 63 is not covered either
    EXPECT_EQ(srom_fix_checksums(w.data()), expected) << low;
    EXPECT_EQ(w, reference) << low;
  }
  Image high = base;
  high[8] = 0x4200;
  srom_fix_checksums(high.data());
  EXPECT_EQ(high[8] & 0xFF00, 0x4200);
  EXPECT_NE(high[8] & 0xFF, reference[8] & 0xFF);
  EXPECT_EQ(high[8] & 0xFF, ReferenceIdCrc(high));
}

TEST(SromFixChecksumsTest, EveryIdBlockBitCountsAndNothingBeyondIt) {
  // A single flipped bit changes a CRC-8; bytes 18 on do not enter it.
  Image base{};
  uint8_t zero = srom_id_block_crc(base.data());
  for (int word = 0; word <= 8; ++word) {
    for (int bit = (word == 8 ? 8 : 0); bit < 16; ++bit) {
      Image w{};
      w[static_cast<size_t>(word)] = static_cast<uint16_t>(1u << bit);
      EXPECT_NE(srom_id_block_crc(w.data()), zero) << word << ":" << bit;
      EXPECT_EQ(srom_id_block_crc(w.data()), ReferenceIdCrc(w)) << word << ":" << bit;
    }
  }
  Image later{};
  later[9] = 0xFFFF;
  EXPECT_EQ(srom_id_block_crc(later.data()), zero);
}

}  // namespace
