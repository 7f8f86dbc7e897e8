#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "support/fake_config_system.h"
#include "support/fake_eeprom_card.h"

namespace {

class EepromTestTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 0; i < 64; ++i) card.words[static_cast<size_t>(i)] = static_cast<uint16_t>(0x1111 * (i % 15) + i);
    original = card.words;
  }
  FakeConfigSystem system;
  FakeEepromCard card{&system};
  std::array<uint16_t, 64> original{};
};

std::vector<std::string> Pass(char op, int first = 0, int last = 63) {
  std::vector<std::string> calls;
  for (int i = first; i <= last; ++i) calls.push_back(op + std::to_string(i));
  return calls;
}

TEST_F(EepromTestTest, SoundEepromPassesInWholePassesAndKeepsItsContents) {
  EXPECT_EQ(card.TestEeprom(), nullptr);
  EXPECT_EQ(card.words, original);
  EXPECT_FALSE(card.writeEnabled);

  std::vector<std::string> expected = Pass('r');
  expected.push_back("e1");
  for (char op : {'w', 'r', 'w', 'r'}) {
    auto pass = Pass(op);
    expected.insert(expected.end(), pass.begin(), pass.end());
  }
  expected.insert(expected.end(), {"e0", "w0", "r0"});
  EXPECT_EQ(card.calls, expected);
}

TEST_F(EepromTestTest, CoupledWordsAreFoundBecausePassesAreNotInterleaved) {
  // Writing word 32 + k also writes word k: a write-then-read per word would
  // check word k before word 32 + k disturbs it.
  card.writeCoupling = 0x1F;
  EXPECT_STREQ(card.TestEeprom(), "EEPROM word 0 contains stuck bits 2242");
}

TEST_F(EepromTestTest, EepromIgnoringAllWritesFailsAtWordZeroWithAllBitsStuck) {
  card.stuck.fill(0xFFFF);
  EXPECT_STREQ(card.TestEeprom(), "EEPROM word 0 contains stuck bits ffff");
  EXPECT_EQ(card.words, original);
  EXPECT_FALSE(card.writeEnabled);
}

TEST_F(EepromTestTest, StuckBitsFailLeaveTheContentsRestoredAndWritesDisabled) {
  card.stuck[17] = 0x8001;
  EXPECT_STREQ(card.TestEeprom(), "EEPROM word 17 contains stuck bits 8001");
  EXPECT_EQ(card.words, original);
  EXPECT_FALSE(card.writeEnabled);
  EXPECT_EQ(card.calls.back(), "e0");
}

TEST_F(EepromTestTest, BadBitsFailAfterTheRestoreAndWritesEndDisabled) {
  card.badWord = 40;
  card.badBits = 0x0420;
  card.badFromWrite = 1;  // the complement takes, the restore does not
  EXPECT_STREQ(card.TestEeprom(), "EEPROM word 40 contains bad bits 0420");
  EXPECT_FALSE(card.writeEnabled);
  for (int i = 0; i < 64; ++i) {
    if (i == 40) continue;
    EXPECT_EQ(card.words[static_cast<size_t>(i)], original[static_cast<size_t>(i)]) << i;
  }
}

TEST_F(EepromTestTest, BrokenProtectionFailsAndWordZeroIsKept) {
  card.protectionBroken = true;
  EXPECT_STREQ(card.TestEeprom(), "EEPROM didn't write-protect correctly");
  EXPECT_EQ(card.words, original);
  EXPECT_FALSE(card.writeEnabled);
}

}  // namespace
