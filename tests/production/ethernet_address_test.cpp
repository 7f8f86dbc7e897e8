#include "production/ethernet_address.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdio>
#include <string>

namespace {

using Bytes = std::array<uint8_t, 6>;

EthernetAddress FromBytes(const Bytes& b) {
  EthernetAddress a;
  a.SetBytes(b);
  return a;
}

uint64_t ValueOf(const Bytes& b) {
  uint64_t v = 0;
  for (uint8_t x : b) v = (v << 8) | x;
  return v;
}

TEST(EthernetAddressTest, FormatKeepsTwoLowerCaseDigitsPerByte) {
  struct Case {
    Bytes bytes;
    const char* text;
  } cases[] = {
      {{0x00, 0x0A, 0xFF, 0x10, 0x9B, 0x01}, "00:0a:ff:10:9b:01"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, "00:00:00:00:00:00"},
      {{0xAB, 0xCD, 0xEF, 0xFE, 0xDC, 0xBA}, "ab:cd:ef:fe:dc:ba"},
  };
  for (const Case& c : cases) {
    EthernetAddress a = FromBytes(c.bytes);
    EXPECT_EQ(a.Format(), c.text);
    EXPECT_EQ(a.GetValue(), ValueOf(c.bytes)) << c.text;
  }
}

// Every parse starts from 11:22:33:44:55:66 so that bytes a failed parse must keep
// are visible.
TEST(EthernetAddressTest, ParseTable) {
  const Bytes start = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
  struct Case {
    const char* text;
    bool ok;
    Bytes bytes;
  } cases[] = {
      {"00:0a:ff:10:20:30", true, {0x00, 0x0A, 0xFF, 0x10, 0x20, 0x30}},
      {"00:0A:FF:1B:2C:3D", true, {0x00, 0x0A, 0xFF, 0x1B, 0x2C, 0x3D}},
      {"1:2:3:4:5:6", true, {1, 2, 3, 4, 5, 6}},
      {"123:2:3:4:5:6", true, {0x23, 2, 3, 4, 5, 6}},
      {"01:02:03:04:05:06 and more", true, {1, 2, 3, 4, 5, 0x06}},
      {"01:02:03:04:05:06:07", true, {1, 2, 3, 4, 5, 6}},
      {" 1:\t2:\n3: 4: 5: 6", true, {1, 2, 3, 4, 5, 6}},
      {"-1:+2:0x3:0X4:-0x5:6", true, {0xFF, 2, 3, 4, 0xFB, 6}},
      {"0x:0:0:0:0:0", true, {0, 0, 0, 0, 0, 0}},  // a bare 0x converts as 0
      {"01:02:03:04:05", false, {1, 2, 3, 4, 5, 0x66}},
      {"01:02:zz:04:05:06", false, {1, 2, 0x33, 0x44, 0x55, 0x66}},
      {"01 :02:03:04:05:06", false, {1, 0x22, 0x33, 0x44, 0x55, 0x66}},
      {"01::02:03:04:05", false, {1, 0x22, 0x33, 0x44, 0x55, 0x66}},
      {"01-02-03-04-05-06", false, {1, 0x22, 0x33, 0x44, 0x55, 0x66}},
      {"0xg:1:2:3:4:5", false, {0, 0x22, 0x33, 0x44, 0x55, 0x66}},
      {"- 1:2:3:4:5:6", false, start},
      {"", false, start},
      // Beyond 32 bits the conversion wraps; beyond 64 bits it saturates.
      {"1ab:100000012:3:4:5:6", true, {0xAB, 0x12, 3, 4, 5, 6}},
      {"fffffffffffffffff12:-fffffffffffffffff12:3:4:5:6", true, {0xFF, 0xFF, 3, 4, 5, 6}},
  };
  for (const Case& c : cases) {
    EthernetAddress a = FromBytes(start);
    EXPECT_EQ(a.Parse(c.text), c.ok) << c.text;
    EXPECT_EQ(a.GetBytes(), c.bytes) << c.text;
    EXPECT_EQ(a.GetValue(), ValueOf(c.bytes)) << c.text;
    EthernetAddress b = FromBytes(start);
    EXPECT_EQ(b.Parse(std::string(c.text)), c.ok) << c.text;
    EXPECT_EQ(b, a) << c.text;
  }
}

// The C library's own reading of the same pattern is the reference for in-range fields.
TEST(EthernetAddressTest, ParseAgreesWithScanf) {
  const char* texts[] = {
      "  +0x1f:-0:0XaB:7fffffff:-80000000:ffffffff", "0x0x1:2:3:4:5:6", "-0x:1:2:3:4:5",
      "\v\f\r1:+:2:3:4:5", "12:34:56:78:9a:bc:de", "ff:fe:fd:fc:fb",
      "a:b:c:d:e:f", "0001:00002:0:0:0:0x00000000000000000f",
  };
  for (const char* text : texts) {
    unsigned f[6] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    int n = std::sscanf(text, "%x:%x:%x:%x:%x:%x", &f[0], &f[1], &f[2], &f[3], &f[4], &f[5]);
    if (n < 0) n = 0;
    EthernetAddress a = FromBytes({0x11, 0x22, 0x33, 0x44, 0x55, 0x66});
    EXPECT_EQ(a.Parse(text), n == 6) << text;
    for (int i = 0; i < 6; ++i) EXPECT_EQ(a.GetByte(i), f[i] & 0xFF) << text << " byte " << i;
  }
}

TEST(EthernetAddressTest, ParseOfNullReadsAsEmpty) {
  EthernetAddress a(0x0102030405ull);
  EXPECT_FALSE(a.Parse(nullptr));
  EXPECT_EQ(a.GetValue(), 0x0102030405ull);
}

TEST(EthernetAddressTest, WordsAndBytesFollowTransmissionOrder) {
  EthernetAddress a;
  a.SetWord(0, 0x1234);
  a.SetWord(1, 0x5678);
  a.SetWord(2, 0x9ABC);
  EXPECT_EQ(a.Format(), "12:34:56:78:9a:bc");
  EXPECT_EQ(a.GetValue(), 0x123456789ABCull);
  EXPECT_EQ(a.GetWord(1), 0x5678);
  a.SetByte(5, 0x01);
  EXPECT_EQ(a.GetWord(2), 0x9A01);
  EXPECT_EQ(a.GetValue(), 0x123456789A01ull);
  EXPECT_EQ(a.GetByte(0), 0x12);
}

TEST(EthernetAddressTest, OutOfRangeIndexesReadAllOnesAndChangeNothing) {
  const EthernetAddress original(0x0011223344ABull);
  EthernetAddress a = original;
  for (int index : {-1, 6, 1000}) EXPECT_EQ(a.GetByte(index), 0xFF) << index;
  for (int index : {-1, 3}) EXPECT_EQ(a.GetWord(index), 0xFFFF) << index;
  a.SetByte(6, 0x77);
  a.SetByte(-1, 0x77);
  a.SetWord(3, 0x7777);
  a.SetWord(-1, 0x7777);
  a.SetPart(2, 0x7777);
  a.SetPart(-1, 0x7777);
  EXPECT_EQ(a.GetBytes(), original.GetBytes());
  EXPECT_EQ(a, original);
  EXPECT_EQ(a.GetPart(2), 0xFFFFu);
  EXPECT_EQ(a.GetPart(-1), 0xFFFFu);
}

TEST(EthernetAddressTest, SetValueKeepsLow48Bits) {
  EthernetAddress a;
  a.SetValue(0xABCD001122334455ull);
  EXPECT_EQ(a.GetFullValue(), 0x001122334455ull);
  EXPECT_EQ(a.Format(), "00:11:22:33:44:55");
  EXPECT_EQ(EthernetAddress(0xFFFF000000000001ull).GetFullValue(), 1u);
}

TEST(EthernetAddressTest, PartsSplitAtBit32) {
  EthernetAddress a(0x123456789ABCull);
  EXPECT_EQ(a.GetPart(0), 0x1234u);
  EXPECT_EQ(a.GetPart(1), 0x56789ABCu);

  a.SetPart(0, 0xFFFF5678u);
  EXPECT_EQ(a.GetFullValue(), 0x567856789ABCull);  // nothing above bit 47
  EXPECT_EQ(a.Format(), "56:78:56:78:9a:bc");

  a.SetPart(1, 0x01020304u);
  EXPECT_EQ(a.GetFullValue(), 0x567801020304ull);
  EXPECT_EQ(a.GetByte(2), 0x01);

  // SetPart(1) keeps bits above 47 that arithmetic left there; SetPart(0) clears them.
  EthernetAddress wrapped(0xFFFFFFFFFFFFull);
  ++wrapped;
  EXPECT_EQ(wrapped.GetPart(0), 0x10000u);
  wrapped.SetPart(1, 5);
  EXPECT_EQ(wrapped.GetFullValue(), 0x1000000000005ull);
  wrapped.SetPart(0, 0);
  EXPECT_EQ(wrapped.GetFullValue(), 5u);
}

TEST(EthernetAddressTest, IncrementAndDecrementCarryThrough64Bits) {
  EthernetAddress a(0xFFFFFFFFFFFFull);
  a++;
  EXPECT_EQ(a.Format(), "00:00:00:00:00:00");
  EXPECT_EQ(a.GetFullValue(), 1ull << 48);
  EXPECT_EQ(a.GetValue(), 0u);
  --a;
  EXPECT_EQ(a.Format(), "ff:ff:ff:ff:ff:ff");

  EthernetAddress z(0);
  z--;
  EXPECT_EQ(z.GetFullValue(), UINT64_MAX);
  EXPECT_EQ(z.Format(), "ff:ff:ff:ff:ff:ff");
  ++z;
  EXPECT_EQ(z.GetFullValue(), 0u);

  EthernetAddress b(0x0000000000FFull);
  ++b;
  EXPECT_EQ(b.Format(), "00:00:00:00:01:00");
}

TEST(EthernetAddressTest, SignedDeltasAreSignExtended) {
  EthernetAddress a(0x000001000000ull);
  a += -1;
  EXPECT_EQ(a.GetFullValue(), 0x000000FFFFFFull);
  a -= -2;
  EXPECT_EQ(a.GetFullValue(), 0x000001000001ull);
  a -= INT32_MIN;
  EXPECT_EQ(a.GetFullValue(), 0x000081000001ull);

  EthernetAddress small(1);
  small += -2;
  EXPECT_EQ(small.GetFullValue(), UINT64_MAX);
  EXPECT_EQ(small.GetValue(), 0xFFFFFFFFFFFFull);
}

TEST(EthernetAddressTest, BinaryOperatorsLeaveTheLeftOperand) {
  const EthernetAddress base(0x00A0C9000010ull);
  const EthernetAddress step(0x000000000100ull);
  EXPECT_EQ((base + 5).GetValue(), 0x00A0C9000015ull);
  EXPECT_EQ((base - 0x11).Format(), "00:a0:c8:ff:ff:ff");
  EXPECT_EQ((base + step).GetValue(), 0x00A0C9000110ull);
  EXPECT_EQ((base - step).GetValue(), 0x00A0C8FFFF10ull);
  EXPECT_EQ(base.GetValue(), 0x00A0C9000010ull);

  EthernetAddress c = base;
  c += step;
  c -= base;
  EXPECT_EQ(c, step);
}

TEST(EthernetAddressTest, IntegerEqualityIgnoresHighBitsOrderingDoesNot) {
  const EthernetAddress a(0x001122334455ull);
  const uint64_t withHighBits = 0xFFFF001122334455ull;
  EXPECT_TRUE(a == withHighBits);
  EXPECT_FALSE(a != withHighBits);
  EXPECT_TRUE(a < withHighBits);
  EXPECT_FALSE(a > withHighBits);
  EXPECT_TRUE(a > 0x001122334454ull);
  EXPECT_FALSE(a == 0x001122334454ull);
  EXPECT_TRUE(a != 0x001122334454ull);
}

TEST(EthernetAddressTest, AddressComparisonsSeeBitsAboveTheBytes) {
  EthernetAddress wrapped(0xFFFFFFFFFFFFull);
  ++wrapped;
  const EthernetAddress zero(0);
  EXPECT_EQ(wrapped.GetBytes(), zero.GetBytes());
  EXPECT_TRUE(wrapped != zero);
  EXPECT_FALSE(wrapped == zero);
  EXPECT_TRUE(wrapped > zero);
  EXPECT_TRUE(zero < wrapped);
  // Against an integer the high bits of the address still count.
  EXPECT_FALSE(wrapped == 0u);

  const EthernetAddress a(0x10), b(0x20);
  EXPECT_TRUE(a < b);
  EXPECT_FALSE(b < a);
  EXPECT_TRUE(b > a);
  EXPECT_FALSE(a > a);
}

TEST(EthernetAddressTest, CopyTakesBothViews) {
  EthernetAddress wrapped(0xFFFFFFFFFFFFull);
  ++wrapped;
  EthernetAddress copy(wrapped);
  EXPECT_EQ(copy.GetFullValue(), 1ull << 48);
  EthernetAddress assigned(0x42);
  assigned = wrapped;
  EXPECT_EQ(assigned, wrapped);
  EXPECT_EQ(assigned.GetBytes(), wrapped.GetBytes());
}

}  // namespace
