#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "cards/unknown_card.h"
#include "hw/adapter.h"
#include "support/fake_config_system.h"

namespace {

class UnknownCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto& bridge = system.Add(0, 0, 0x12378086, 0x06000002);
    bridge[11] = 0xBEEF1234;
    ASSERT_EQ(system.ScanBuses(), nullptr);
    system.SelectDevice(0, 0);  // automatic or not, a host bridge gets an unknown card
    ASSERT_NE(system.card, nullptr);
    card = system.card;
  }
  FakeConfigSystem system;
  PCI_Card* card = nullptr;
};

TEST_F(UnknownCardTest, IdentifiesTheFunctionItStandsFor) {
  EXPECT_STREQ(card->Name(), "Unknown Card");
  EXPECT_EQ(card->VendorId(), 0x8086);
  EXPECT_EQ(card->DeviceId(), 0x1237);
  EXPECT_EQ(card->SubsystemVendorId(), 0x1234);
  EXPECT_EQ(card->SubsystemId(), 0xBEEF);
  EXPECT_EQ(card->BaseClass(), 0x06);
  EXPECT_EQ(card->SubClass(), 0x00);
  EXPECT_EQ(card->RevisionId(), 0x02);
  EXPECT_FALSE(card->IsFiber());
  EXPECT_FALSE(card->Is64BitCapable());
  EXPECT_FALSE(card->HasFlash());
  EXPECT_EQ(card->PortCount(), 1);
  EXPECT_EQ(card->PhyId(), 0u);
  EXPECT_EQ(card->MacAddress().Format(), "00:00:00:ff:ff:ff");
  EXPECT_EQ(card->VirtualMacAddress().GetValue(), 0xFFFFFFu);
  ASSERT_NE(card->adapter, nullptr);
  EXPECT_EQ(card->adapter->host, &system);
}

TEST_F(UnknownCardTest, OffersNoTestsAndNoPacketEngine) {
  EXPECT_EQ(card->BoardTestNames(), nullptr);
  EXPECT_EQ(card->ExtraTestNames(), nullptr);
  EXPECT_EQ(card->BoardTestCount(), 0);
  EXPECT_EQ(card->ExtraTestCount(), 0);
  EXPECT_STREQ(card->RunBoardTest(0), "Unknown test!");
  EXPECT_STREQ(card->RunExtraTest(3), "Unknown test!");
  EXPECT_EQ(card->Reset(), nullptr);
  try {
    card->OpenPacketEngine();
    FAIL() << "no driver, no engine";
  } catch (const char* text) {
    EXPECT_STREQ(text, "Failed there is no driver for this card.");
  }
}

TEST_F(UnknownCardTest, ConfigurationRegisterSetHasFourteenNamedPositions) {
  const RegisterSet* sets = card->RegisterSets();
  ASSERT_STREQ(sets[0].name, "PCI Configuration");
  EXPECT_EQ(sets[0].count, 16);
  EXPECT_EQ(sets[0].width, 32);
  EXPECT_EQ(sets[0].stride, 4);
  EXPECT_EQ(sets[1].name, nullptr);
  int named = 0;
  for (int i = 0; i < sets[0].count; ++i) named += sets[0].names[i] != nullptr;
  EXPECT_EQ(named, 14);
  EXPECT_EQ(sets[0].names[13], nullptr);
  EXPECT_EQ(sets[0].names[14], nullptr);
  EXPECT_STREQ(sets[0].names[15], "Latency and Interrupts");
  EXPECT_EQ(card->ReadRegister(0, 0x00), 0u);
}

TEST_F(UnknownCardTest, EepromReadsZeroAndIgnoresWritesFlashReadsZero) {
  card->EnableEepromWrite(true);
  card->WriteEeprom(5, 0x1234);
  for (int word = 0; word < 64; ++word) EXPECT_EQ(card->ReadEeprom(word), 0) << word;
  uint8_t buffer[16];
  std::memset(buffer, 0xA5, sizeof buffer);
  card->ReadFlash(0x100, buffer, sizeof buffer);
  for (uint8_t b : buffer) EXPECT_EQ(b, 0);
  const size_t portWrites = system.log.size();
  card->WriteRegister(0, 0x04, 0);
  EXPECT_EQ(system.log.size(), portWrites) << "writing a register of an unknown card touches nothing";
}

}  // namespace
