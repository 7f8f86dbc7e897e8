#include "app/flash_viewer.h"

#include <gtest/gtest.h>

#include "support/fake_config_system.h"
#include "support/fake_eeprom_card.h"

namespace {

// Flash whose byte at address a reads as the low byte of a; records every read.
class FlashCard : public FakeEepromCard {
 public:
  explicit FlashCard(PCI_System* system) : FakeEepromCard(system) {}
  void ReadFlash(uint32_t address, uint8_t* buffer, int length) override {
    reads.push_back(address);
    if (fail) throw "flash not answering";
    for (int i = 0; i < length; ++i) buffer[i] = static_cast<uint8_t>(address + static_cast<uint32_t>(i));
  }
  std::vector<uint32_t> reads;
  bool fail = false;
};

class FlashViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    card = new FlashCard(&system);
    delete system.card;
    system.card = card;  // the system owns and frees it
  }
  FakeConfigSystem system;
  FlashCard* card = nullptr;
  FlashViewer viewer{system};
};

TEST_F(FlashViewerTest, OpensAtZeroWithSixteenLinesOfSixteenBytes) {
  viewer.Open();
  ASSERT_EQ(viewer.Lines().size(), 16u);
  EXPECT_EQ(viewer.Lines()[0], "000000: 00 01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0E 0F");
  EXPECT_EQ(viewer.Lines()[15].substr(0, 10), "0000F0: F0");
  EXPECT_EQ(viewer.AddressText(), "000000");
  EXPECT_EQ(card->reads, std::vector<uint32_t>{0});
}

TEST_F(FlashViewerTest, PagingAddsAndSubtracts256WithWrapAround) {
  viewer.Open();
  viewer.Next();
  viewer.Next();
  viewer.Previous();
  EXPECT_EQ(viewer.PageAddress(), 0x100u);
  EXPECT_EQ(viewer.Lines().front().substr(0, 7), "000100:");
  EXPECT_EQ(viewer.Lines().back().substr(0, 7), "0001F0:");
  EXPECT_EQ(viewer.AddressText(), "000100");

  viewer.Previous();
  viewer.Previous();
  EXPECT_EQ(viewer.PageAddress(), 0xFFFFFF00u);
  EXPECT_EQ(viewer.AddressText(), "FFFFFF00");
  EXPECT_EQ(viewer.Lines().back().substr(0, 9), "FFFFFFF0:");
  viewer.Next();
  EXPECT_EQ(viewer.PageAddress(), 0u);
  viewer.Program();
  EXPECT_EQ(viewer.PageAddress(), 0u);
  EXPECT_EQ(card->reads.size(), 7u) << "one read per page shown; Program reads nothing";
}

TEST_F(FlashViewerTest, TypedAddressMovesTheViewWithEveryKeystroke) {
  viewer.Open();
  viewer.TypeAddress("2");
  EXPECT_EQ(viewer.Lines().front().substr(0, 10), "000002: 02");
  viewer.TypeAddress("20");
  EXPECT_EQ(viewer.Lines().front().substr(0, 10), "000020: 20");
  EXPECT_EQ(viewer.AddressText(), "20") << "the field keeps the operator's text";
  viewer.TypeAddress("");
  viewer.TypeAddress("zz");
  viewer.TypeAddress("123456789");  // beyond 32 bits: no address
  EXPECT_EQ(viewer.PageAddress(), 0x20u) << "text without a number leaves the view";
  viewer.TypeAddress(" 0x20 and more");
  viewer.LeaveAddressField();
  EXPECT_EQ(card->reads, (std::vector<uint32_t>{0, 2, 0x20})) << "the same address refreshes nothing";
  EXPECT_EQ(viewer.AddressText(), " 0x20 and more");
  viewer.Next();
  EXPECT_EQ(viewer.AddressText(), "000120") << "a refresh from a button rewrites the field";
}

TEST_F(FlashViewerTest, ButtonClickWhileTypingTakesTheFocusFirst) {
  viewer.Open();
  viewer.TypeAddress("1000");
  viewer.Next();
  EXPECT_FALSE(viewer.AddressFieldFocused());
  EXPECT_EQ(viewer.PageAddress(), 0x1100u);
  EXPECT_EQ(viewer.AddressText(), "001100");
}

TEST_F(FlashViewerTest, ThrownTextKeepsThePreviousView) {
  viewer.Open();
  card->fail = true;
  viewer.Next();
  EXPECT_EQ(viewer.messages.List(), (std::vector<DialogMessage>{{"flash not answering", "Flash error"}}));
  EXPECT_EQ(viewer.Lines().front().substr(0, 7), "000000:");
  EXPECT_EQ(viewer.AddressText(), "000000");
}

}  // namespace
