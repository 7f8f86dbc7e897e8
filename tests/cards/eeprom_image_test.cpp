#include <gtest/gtest.h>

#include <array>
#include <climits>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/eeprom_image.h"
#include "hw/srom_crc.h"

namespace {

using namespace eeprom_image;
using Image = std::array<uint16_t, 64>;

EthernetAddress Address(const char* text) {
  EthernetAddress a;
  EXPECT_TRUE(a.Parse(text));
  return a;
}

TEST(EepromImageTest, ModelDefaultsPerModelAndVariant) {
  struct Case {
    Model model;
    bool fiber;
    uint16_t word1, word46;
    std::array<uint16_t, 5> flags;
  };
  const Case cases[] = {
      {Model::R51, false, 0x0102, 0x0006, {0, 0, 0, 0, 1}},
      {Model::R51, true, 0x0102, 0x0006, {1, 0, 1, 0, 0}},
      {Model::R83, false, 0x0430, 0x0400, {0, 0, 0, 0, 1}},
      {Model::R83, true, 0x0432, 0x0406, {1, 0, 1, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.model == Model::R51 ? "R51" : "R83") + (c.fiber ? " FX" : " TX"));
    Image w{};
    FillModelDefaults(w.data(), c.model, c.fiber, Address("00:a0:c9:12:34:56"));
    EXPECT_EQ(w[0], 0x13D8);
    EXPECT_EQ(w[1], c.word1);
    EXPECT_EQ(w[46], c.word46);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(w[47 + static_cast<size_t>(i)], c.flags[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(w[52], 0x0033);
    EXPECT_EQ(w[15], c.fiber ? 0x0010 : 0x0800);
    EXPECT_EQ(w[21], c.fiber ? 0x6000 : 0x7800);
    EXPECT_EQ(w[22], c.fiber ? 0x0180 : 0x01E0);
    EXPECT_EQ(w[24], c.fiber ? 0x0000 : 0x1800);
  }
}

TEST(EepromImageTest, TxDecAreaAsWords) {
  Image w{};
  FillDecArea(w.data(), false, Address("00:a0:c9:12:34:56"));
  const std::vector<std::pair<int, uint16_t>> expected = {
      {9, 0x0104},  {10, 0xA000}, {11, 0x12C9}, {12, 0x5634}, {13, 0x1E00}, {14, 0x0000},
      {15, 0x0800}, {16, 0x1101}, {17, 0x0003}, {18, 0x0E02}, {19, 0x0E08}, {20, 0x0000},
      {21, 0x7800}, {22, 0x01E0}, {23, 0x5000}, {24, 0x1800}, {25, 0x0000},
  };
  for (auto [word, value] : expected) EXPECT_EQ(w[static_cast<size_t>(word)], value) << word;
  // Byte view: the address in transmission order from byte 20.
  EXPECT_EQ(GetByte(w.data(), 20), 0x00);
  EXPECT_EQ(GetByte(w.data(), 21), 0xA0);
  EXPECT_EQ(GetByte(w.data(), 25), 0x56);
}

TEST(EepromImageTest, FillTouchesOnlyItsFields) {
  Image w;
  w.fill(0xA5C3);
  FillModelDefaults(w.data(), Model::R83, true, Address("02:00:00:00:00:01"));
  std::vector<int> kept = {2, 3, 4, 5, 6, 7};
  for (int i = 26; i <= 45; ++i) kept.push_back(i);
  for (int i = 53; i <= 63; ++i) kept.push_back(i);
  for (int i : kept) EXPECT_EQ(w[static_cast<size_t>(i)], 0xA5C3) << i;
  EXPECT_EQ(w[8], 0xA5C3);      // bytes 16 and 17 are not the fill's
  EXPECT_EQ(w[25], 0xA500);     // byte 50 is, byte 51 is not
}

TEST(EepromImageTest, AddressWordsAreBigEndian) {
  Image w{};
  PutAddressWords(w.data(), kStationAddressWord, Address("12:34:56:78:9a:bc"));
  EXPECT_EQ(w[42], 0x1234);
  EXPECT_EQ(w[43], 0x5678);
  EXPECT_EQ(w[44], 0x9ABC);
  PutAddressWords(w.data(), kVirtualAddressWord, Address("00:00:00:ff:ff:ff"));
  EXPECT_EQ(GetAddressWords(w.data(), kVirtualAddressWord).GetValue(), 0xFFFFFFu);
  EXPECT_EQ(GetAddressWords(w.data(), kStationAddressWord).Format(), "12:34:56:78:9a:bc");
}

TEST(ProgramDateTest, KnownValueAndLimits) {
  EXPECT_EQ(EncodeProgramDate(2002, 12, 31), 0x199F);
  ProgramDate d = DecodeProgramDate(0x199F);
  EXPECT_EQ(d.year, 2002);
  EXPECT_EQ(d.month, 12);
  EXPECT_EQ(d.day, 31);
  EXPECT_EQ(EncodeProgramDate(1990, 0, 0), 0x0000);
  EXPECT_EQ(EncodeProgramDate(2117, 15, 31), 0xFFFF);
  d = DecodeProgramDate(0xFFFF);
  EXPECT_EQ(d.year, 2117);
  EXPECT_EQ(d.month, 15);
  EXPECT_EQ(d.day, 31);
}

TEST(ProgramDateTest, RoundTripOverTheWholeRange) {
  for (int year = 1990; year <= 2117; ++year)
    for (int month = 0; month <= 15; ++month)
      for (int day = 0; day <= 31; ++day) {
        ASSERT_TRUE(ProgramDateFits(year, month, day));
        ProgramDate d = DecodeProgramDate(EncodeProgramDate(year, month, day));
        ASSERT_EQ(d.year, year);
        ASSERT_EQ(d.month, month);
        ASSERT_EQ(d.day, day);
      }
}

TEST(ProgramDateTest, OutOfFieldPartsSpillAndAreFlagged) {
  struct Case {
    int year, month, day;
    uint16_t word;
  };
  const Case cases[] = {
      {2002, 12, 32, EncodeProgramDate(2002, 13, 0)},  // day spills into month
      {2002, 16, 1, EncodeProgramDate(2003, 0, 1)},    // month spills into year
      {2002, 12, 63, 0x19BF},                          // 12*32 | 63: OR, not addition
      {2118, 1, 1, EncodeProgramDate(1990, 1, 1)},     // year wraps in 16 bits
      {1989, 1, 1, static_cast<uint16_t>(0xFE00 | 0x21)},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EncodeProgramDate(c.year, c.month, c.day), c.word) << c.year << "/" << c.month << "/" << c.day;
    EXPECT_FALSE(ProgramDateFits(c.year, c.month, c.day));
  }
  // Whatever the edits hold, encoding keeps the low 16 bits without overflow.
  EXPECT_EQ(EncodeProgramDate(INT_MAX, INT_MAX, INT_MAX), 0xFFFF);
  EXPECT_EQ(EncodeProgramDate(INT_MIN, INT_MIN, INT_MIN), 0x7400);
  EXPECT_FALSE(ProgramDateFits(2002, -1, 1));
}

TEST(NicTypeTest, NamesCodesAndUnknown) {
  const std::pair<const char*, uint16_t> table[] = {
      {"BSD", 0x0001},   {"Linux", 0x0002},   {"AIX", 0x0011},     {"DEC Unix", 0x0022},
      {"HP-UX", 0x0033}, {"Windows NT", 0x0055}, {"SGI Irix", 0x0066}, {"Mac", 0x0099},
      {"Solaris", 0x00CC}, {"NetWare", 0x00EE}, {"AS400", 0x0100},  {"Unknown", 0x0000},
  };
  ASSERT_EQ(kNicTypeCount, 12);
  for (int i = 0; i < kNicTypeCount; ++i) {
    EXPECT_STREQ(NicTypeName(i), table[i].first);
    EXPECT_EQ(NicTypeCode(i), table[i].second);
    EXPECT_EQ(NicTypeIndex(table[i].second), i);
  }
  EXPECT_EQ(NicTypeIndex(0x0044), kUnknownNicType);  // shown as "Unknown" ...
  EXPECT_EQ(NicTypeCode(NicTypeIndex(0x0044)), 0);   // ... and rewritten as 0
  EXPECT_EQ(NicTypeIndex(0x0155), kUnknownNicType);
  EXPECT_EQ(NicTypeCode(-1), 0);  // no selection
  EXPECT_EQ(NicTypeName(12), nullptr);
}

TEST(ConnectionTypeTest, FlagsRoundTripAndNames) {
  const char* names[] = {"Auto Negotiate", "10Base-T", "10Base-T Full Duplex", "100Base-T",
                         "100Base-T Full Duplex"};
  for (int type = 0; type < kConnectionTypeCount; ++type) {
    Image w;
    w.fill(7);
    SetConnectionFlags(w.data(), type);
    EXPECT_EQ(DecodeConnectionType(w.data()), type);
    EXPECT_STREQ(ConnectionTypeName(type), names[type]);
    EXPECT_EQ(w[46], 7);
    EXPECT_EQ(w[52], 7);
  }
  Image w;
  w.fill(7);
  SetConnectionFlags(w.data(), -1);  // no selection
  for (int i = 47; i <= 51; ++i) EXPECT_EQ(w[static_cast<size_t>(i)], 0) << i;
  EXPECT_EQ(ConnectionTypeName(5), nullptr);
}

TEST(ConnectionTypeTest, DecodingIgnoresWord51AndReadsOnlyWhatItNeeds) {
  struct Case {
    std::array<uint16_t, 5> flags;  // words 47 to 51
    int type;
    std::vector<int> reads;
  };
  const Case cases[] = {
      {{1, 1, 0, 0, 0}, kAutoNegotiate, {49, 50}},  // inconsistent: 49 and 50 both zero
      {{0, 1, 1, 1, 1}, k100BaseT, {49, 47}},
      {{1, 0, 1, 0, 0}, k100BaseTFullDuplex, {49, 47}},
      {{0, 0, 0, 1, 1}, k10BaseT, {49, 50, 48}},
      {{0, 2, 0, 5, 0}, k10BaseTFullDuplex, {49, 50, 48}},
  };
  for (const auto& c : cases) {
    std::vector<int> reads;
    int type = DecodeConnectionType([&](int word) {
      reads.push_back(word);
      return c.flags[static_cast<size_t>(word - 47)];
    });
    EXPECT_EQ(type, c.type);
    EXPECT_EQ(reads, c.reads);
  }
}

TEST(ChecksumVerifyTest, StoredAgainstComputed) {
  Image w{};
  FillModelDefaults(w.data(), Model::R83, false, Address("00:a0:c9:12:34:56"));
  srom_fix_checksums(w.data());
  Checksums sums = VerifyChecksums(w.data());
  EXPECT_TRUE(sums.IdCrcMatches());
  EXPECT_TRUE(sums.ImageCrcMatches());
  EXPECT_EQ(sums.storedIdCrc, w[8] & 0xFF);
  EXPECT_EQ(sums.storedImageCrc, w[63]);

  Image later = w;
  later[45] = EncodeProgramDate(2003, 1, 1);  // outside the ID block
  sums = VerifyChecksums(later.data());
  EXPECT_TRUE(sums.IdCrcMatches());
  EXPECT_FALSE(sums.ImageCrcMatches());
  EXPECT_EQ(sums.storedImageCrc, w[63]);

  Image id = w;
  id[1] = 0x0431;
  sums = VerifyChecksums(id.data());
  EXPECT_FALSE(sums.IdCrcMatches());
  EXPECT_FALSE(sums.ImageCrcMatches());
  Image fixed = id;
  srom_fix_checksums(fixed.data());
  EXPECT_EQ(sums.computedIdCrc, fixed[8] & 0xFF);

  Image crcOnly = w;
  crcOnly[63] ^= 0x0100;
  sums = VerifyChecksums(crcOnly.data());
  EXPECT_TRUE(sums.IdCrcMatches());
  EXPECT_FALSE(sums.ImageCrcMatches());
  EXPECT_EQ(sums.computedImageCrc, w[63]);
}

}  // namespace
