#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

#include "cards/register_checks.h"
#include "support/fake_eeprom_card.h"
#include "support/register_bank_system.h"

namespace {

using Table = std::array<uint32_t, RegisterBankSystem::kPositions>;

// A small register file: a few registers with reset values, one read/write
// register, one register with write-only bits, the rest reading 0.
class RegisterChecksTest : public ::testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    system.writable.fill(0);
    system.value[0] = 0xFE000000;  // reset value, read-only
    system.value[2] = 0x00000000;  // poll-demand style register: write-only bits
    system.value[5] = 0xFC000000;
    system.writable[10] = 0xFFFFFFFF;  // plain read/write register
    system.value[10] = 0x12345678;
    mask[0] = 0xFFFFFFFF;
    expected[0] = 0xFE000000;
    mask[5] = 0xFFF00000;
    expected[5] = 0xFC0FFFFF;  // only the masked bits count
    writeOnly[2] = 0x00000001;
  }

  bool Io() const { return GetParam(); }
  const char* Name() const { return Io() ? "I/O-mapped" : "Memory-mapped"; }
  uint32_t Bit() const { return Io() ? RegisterBankSystem::kIoDecode : RegisterBankSystem::kMemDecode; }
  const char* Run(int count = RegisterBankSystem::kPositions) {
    return Io() ? card.CheckIoRegisters(mask.data(), expected.data(), writeOnly.data(), count)
                : card.CheckMemRegisters(mask.data(), expected.data(), writeOnly.data(), count);
  }
  bool DecodeOn() const { return (system.Command() & Bit()) != 0; }

  RegisterBankSystem system;
  FakeEepromCard card{&system};
  Table mask{}, expected{}, writeOnly{};
};

TEST_P(RegisterChecksTest, SoundRegistersPassAndDecodingEndsOn) {
  auto before = system.value;
  EXPECT_EQ(Run(), nullptr);
  EXPECT_TRUE(DecodeOn());
  EXPECT_EQ(system.value, before) << "writes with decoding off must go nowhere";
  // Off, then on again, touching no other command bit.
  ASSERT_EQ(system.commandWrites.size(), 2u);
  EXPECT_EQ(system.commandWrites[0] & Bit(), 0u);
  EXPECT_EQ(system.commandWrites[1] & Bit(), Bit());
  EXPECT_EQ(system.commandWrites[0] | Bit(), system.commandWrites[1]);
  // Every access used this space only.
  for (const auto& a : system.accesses) EXPECT_EQ(a.io, Io());
}

TEST_P(RegisterChecksTest, DisabledSpaceIsReportedBeforeAnyRegisterAccess) {
  system.SetDecode(Io() ? RegisterBankSystem::kMemDecode : RegisterBankSystem::kIoDecode);
  EXPECT_STREQ(Run(), "Device registers not enabled");
  EXPECT_TRUE(system.accesses.empty());
  EXPECT_TRUE(system.commandWrites.empty());
  // Also with no positions at all.
  EXPECT_STREQ(Run(0), "Device registers not enabled");
}

TEST_P(RegisterChecksTest, CountZeroStillSwitchesDecodingOffAndOn) {
  EXPECT_EQ(Run(0), nullptr);
  EXPECT_EQ(system.commandWrites.size(), 2u);
  EXPECT_TRUE(DecodeOn());
}

TEST_P(RegisterChecksTest, ResetValueMismatchNamesSpaceOffsetAndFullExpectedValue) {
  system.value[5] = 0xFC100000;
  EXPECT_EQ(std::string(Run()), std::string(Name()) + " reg 0x14 read 0xfc100000 exp 0xfc0fffff");
  EXPECT_TRUE(system.commandWrites.empty());
}

TEST_P(RegisterChecksTest, AllOnesExpectedUnderFullMaskPasses) {
  system.value[7] = 0xFFFFFFFF;
  mask[7] = 0xFFFFFFFF;
  expected[7] = 0xFFFFFFFF;
  EXPECT_EQ(Run(), nullptr);
}

TEST_P(RegisterChecksTest, WriteOnlyBitThatReadsBackFailsAndIsRestored) {
  system.writable[2] = 0x00000001;
  system.value[2] = 0x00000100;
  EXPECT_EQ(std::string(Run()), std::string(Name()) + " register 08 bits 00000001 should be write-only");
  EXPECT_EQ(system.value[2], 0x00000100u);
  // The write-only write went in with the bits inverted, then the value read first.
  ASSERT_GE(system.accesses.size(), 2u);
  EXPECT_EQ(system.accesses[system.accesses.size() - 1].value, 0x00000100u);
  EXPECT_TRUE(system.accesses.back().write);
}

TEST_P(RegisterChecksTest, PositionStillReadingWithDecodingOffFailsAndDecodingIsRestored) {
  // Offset 0x00 goes dead (all ones) but 0x08, a position nothing else checks, reads 0.
  system.readWhenOff[2] = 0x00000000;
  EXPECT_EQ(std::string(Run()), std::string(Name()) + " register 08 refuses to die (is 00000000)");
  EXPECT_TRUE(DecodeOn()) << "a failed check must not leave the space switched off";
}

TEST_P(RegisterChecksTest, WriteReachingRegisterWithDecodingOffFailsAndIsUndone) {
  // Position 12 keeps decoding with the space off and holds what a dead read shows.
  system.liveWhenOff.insert(12);
  system.value[12] = 0xFFFFFFFF;
  system.writable[12] = 0x0000FF00;
  EXPECT_EQ(std::string(Run()), std::string(Name()) + " register 30 refuses to die (bits 0000ff00 changed)");
  EXPECT_EQ(system.value[12], 0xFFFFFFFFu);
  EXPECT_TRUE(DecodeOn());
}

TEST_P(RegisterChecksTest, RegisterLosingItsValueWhileOffDidNotComeBack) {
  system.valueAfterOff[5] = 0x00000000;
  EXPECT_EQ(std::string(Run()), std::string(Name()) + " register 14 didn't come back - is 00000000");
  EXPECT_TRUE(DecodeOn());
}

INSTANTIATE_TEST_SUITE_P(Spaces, RegisterChecksTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Io" : "Memory"; });

class ReadOnlyConfigBitsTest : public ::testing::Test {
 protected:
  RegisterBankSystem system;
  FakeEepromCard card{&system};
  std::array<uint32_t, 64> mask{};
};

TEST_F(ReadOnlyConfigBitsTest, AllZeroMaskTouchesNothing) {
  system.log.clear();
  EXPECT_EQ(card.CheckReadOnlyConfigBits(mask.data(), 64), nullptr);
  EXPECT_TRUE(system.log.empty());
}

TEST_F(ReadOnlyConfigBitsTest, ReadOnlyBitsPassAndConfigurationIsUnchanged) {
  (*system.config)[4] = 0x0000E001;  // I/O BAR: low bits read-only
  (*system.config)[15] = 0x28140105;
  system.configWritable[0] = 0;
  system.configWritable[4] = 0xFFFFFF80;
  system.configWritable[15] = 0x000000FF;
  mask[0] = 0xFFFFFFFF;
  mask[4] = 0x0000007F;
  mask[15] = 0xFFFFFF00;
  auto before = *system.config;
  EXPECT_EQ(card.CheckReadOnlyConfigBits(mask.data(), 64), nullptr);
  EXPECT_EQ(*system.config, before);
}

TEST_F(ReadOnlyConfigBitsTest, WritableBitInMaskFailsWithValuesInStatedOrderAndIsRestored) {
  (*system.config)[2] = 0x02000041;
  system.configWritable[2] = 0x00000001;  // bit 0 of the revision dword wrongly writable
  mask[2] = 0x000000FF;
  mask[5] = 0xFFFFFFFF;  // after the failure: never reached
  // Exp= carries the bits read after the write, Read= the bits read before it.
  EXPECT_STREQ(card.CheckReadOnlyConfigBits(mask.data(), 64),
               "Reg 0x08 bits 0x000000ff aren't RO Exp=0x00000040, Read=0x00000041");
  EXPECT_EQ((*system.config)[2], 0x02000041u);
  EXPECT_EQ((*system.config)[5], 0u);
}

}  // namespace
