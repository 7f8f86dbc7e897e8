// The R51 and R83 models: their test catalogues, every board test on good
// boards, and the loopback and bus-master tests in detail.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "adapter_bench.h"
#include "cards/r51_card.h"
#include "cards/r83_card.h"

namespace {

constexpr char kBoards[] = R"toml(
[machine]
description = "model tests"

[[board]]
device = 3
model = "R51"
variant = "TX"

[[board]]
device = 4
model = "R51"
variant = "FX"

[[board]]
device = 5
model = "R83"
variant = "TX"

[[board]]
device = 6
model = "R83"
variant = "FX"
)toml";

constexpr int kR51Tx = 3, kR51Fx = 4, kR83Tx = 5, kR83Fx = 6;

const std::vector<std::string> kBoardTests = {
    "Configuration Reads",     "Configuration Writes", "I/O-mapped Registers",       "Memory-mapped Registers",
    "Serial EEPROM",           "Level1 PHY",           "DEC21143 Internal Loopback", "PHY Loopback",
};

std::vector<std::string> Names(TestNameList list) {
  std::vector<std::string> names;
  for (int i = 0; list != nullptr && list[i] != nullptr; ++i) names.emplace_back(list[i]);
  return names;
}

// The run of "BD Level": reset, every board test by index, reset. Answers
// "name: failure" for each test that failed.
std::vector<std::string> RunBoardLevel(PCI_Card& card) {
  std::vector<std::string> failures;
  EXPECT_EQ(card.Reset(), nullptr);
  TestNameList names = card.BoardTestNames();
  for (int i = 0; i < card.BoardTestCount(); ++i) {
    if (const char* failure = card.RunBoardTest(i)) failures.push_back(std::string(names[i]) + ": " + failure);
  }
  EXPECT_EQ(card.Reset(), nullptr);
  return failures;
}

TEST(AdapterModels, TestCatalogues) {
  AdapterBench bench(kBoards);
  DEC21143_Card* r51 = bench.Select(0, kR51Tx);
  ASSERT_NE(dynamic_cast<R51_Card*>(r51), nullptr);
  EXPECT_STREQ(r51->Name(), "R51");
  EXPECT_EQ(Names(r51->BoardTestNames()), kBoardTests);
  EXPECT_EQ(r51->BoardTestCount(), 8);
  EXPECT_EQ(Names(r51->ExtraTestNames()), std::vector<std::string>{"Bus Master Bit Flip Test"});
  EXPECT_EQ(r51->ExtraTestCount(), 1);
  for (int index : {8, -1, 100}) EXPECT_STREQ(r51->RunBoardTest(index), "Unknown test!") << index;
  for (int index : {1, -1}) EXPECT_STREQ(r51->RunExtraTest(index), "Unknown test!") << index;

  DEC21143_Card* r83 = bench.Select(0, kR83Tx);
  ASSERT_NE(dynamic_cast<R83_Card*>(r83), nullptr);
  EXPECT_STREQ(r83->Name(), "R83");
  EXPECT_EQ(Names(r83->BoardTestNames()), kBoardTests);
  EXPECT_EQ(r83->BoardTestCount(), 8);
  EXPECT_EQ(r83->ExtraTestNames(), nullptr);
  EXPECT_EQ(r83->ExtraTestCount(), 0);
  for (int index : {0, 1, -1}) EXPECT_STREQ(r83->RunExtraTest(index), "Unknown test!") << index;
  for (int index : {8, -1}) EXPECT_STREQ(r83->RunBoardTest(index), "Unknown test!") << index;
}

TEST(AdapterModels, GoodBoardsPassEveryTest) {
  AdapterBench bench(kBoards);
  for (int device : {kR51Tx, kR51Fx, kR83Tx, kR83Fx}) {
    SCOPED_TRACE(device);
    DEC21143_Card* card = bench.Select(0, device);
    const auto before = bench.Board(0, device)->eeprom().words();
    EXPECT_EQ(RunBoardLevel(*card), std::vector<std::string>{});
    EXPECT_EQ(bench.Board(0, device)->eeprom().words(), before);  // the EEPROM test puts everything back
    for (int i = 0; i < card->ExtraTestCount(); ++i) EXPECT_EQ(card->RunExtraTest(i), nullptr) << i;
    // A second run finds the board as good as the first (the tests leave it usable).
    EXPECT_EQ(RunBoardLevel(*card), std::vector<std::string>{});
  }
}

TEST(AdapterModels, BuiltInBenchBoardsPassEveryTest) {
  AdapterBench bench;
  for (auto [bus, device] : {std::pair{0, 3}, std::pair{0, 4}, std::pair{1, 0}}) {
    SCOPED_TRACE(std::to_string(bus) + ":" + std::to_string(device));
    DEC21143_Card* card = bench.Select(bus, device);
    ASSERT_NE(card, nullptr);
    EXPECT_EQ(RunBoardLevel(*card), std::vector<std::string>{});
    for (int i = 0; i < card->ExtraTestCount(); ++i) EXPECT_EQ(card->RunExtraTest(i), nullptr) << i;
  }
}

TEST(AdapterModels, LoopbackBusModeFollowsTheCacheLineSize) {
  struct Case {
    uint32_t cacheLine;
    uint32_t busMode;
  };
  const Case cases[] = {{0, 0x01A06002}, {8, 0x01A06002}, {16, 0x01A0A002}, {32, 0x01A0E002}};
  AdapterBench bench(kBoards);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cacheLine);
    DEC21143_Card* card = bench.Select(0, kR83Tx);
    card->WriteRegister(0, 0x0C, c.cacheLine);
    ASSERT_EQ(card->ReadRegister(0, 0x0C) & 0xFF, c.cacheLine);
    ASSERT_EQ(card->RunBoardTest(6), nullptr);
    EXPECT_EQ(card->ReadRegister(1, 0x00) & 0x01FFFFFF, c.busMode);
  }
}

TEST(AdapterModels, LoopbacksLeaveTheControllerStopped) {
  struct Case {
    int device;
    int test;
    uint16_t phyControl;
  };
  const Case cases[] = {
      {kR51Tx, 6, 0x2000}, {kR51Tx, 7, 0x4000}, {kR83Fx, 6, 0x2000}, {kR83Fx, 7, 0x4000},
  };
  AdapterBench bench(kBoards);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.device) + " test " + std::to_string(c.test));
    DEC21143_Card* card = bench.Select(0, c.device);
    ASSERT_EQ(card->RunBoardTest(c.test), nullptr);
    EXPECT_EQ(card->ReadRegister(1, 0x30) & 0x2002, 0u);  // CSR6: transmit and receive stopped
    EXPECT_EQ(card->ReadPhyRegister(0), c.phyControl);
    EXPECT_NE(card->ReadRegister(0, 0x04) & 0x4, 0u);  // bus mastering back on
    // Only the R83 sets up the SIA port.
    EXPECT_EQ(card->ReadRegister(1, 0x78) == 0x800F0000, c.device == kR83Fx);
  }
  // Fibre boards get configuration bit 2 for the loopback.
  EXPECT_NE(bench.Select(0, kR83Fx)->ReadPhyRegister(19) & 0x0004, 0);
}

TEST(AdapterModels, BusMasteringOff) {
  AdapterBench bench(kBoards);
  for (int device : {kR51Tx, kR83Tx}) {
    DEC21143_Card* card = bench.Select(0, device);
    card->WriteRegister(0, 0x04, card->ReadRegister(0, 0x04) & ~0x4u);
    EXPECT_STREQ(card->RunBoardTest(6), "Bus mastering disabled") << device;
    EXPECT_STREQ(card->RunBoardTest(7), "Bus mastering disabled") << device;
  }
  // The bit-flip test compares the set bit with what it first read.
  DEC21143_Card* r51 = bench.Select(0, kR51Tx);
  const uint32_t cfcs = r51->ReadRegister(0, 0x04);
  char expected[80];
  std::snprintf(expected, sizeof expected, "Bad Value. Count=0 Exp=0x%08x Read=0x%08x", cfcs, cfcs | 0x4);
  EXPECT_STREQ(r51->RunExtraTest(0), expected);
  // It ended with bus mastering on, so the next run passes.
  EXPECT_EQ(r51->RunExtraTest(0), nullptr);
}

TEST(AdapterModels, ReservedCommandBitsDifferByModel) {
  // Bit 3 (special cycles) is reserved on the R83 only; the part is given a
  // writable bit 3 to show it.
  for (const char* model : {"R51", "R83"}) {
    AdapterBench bench(OneBoardBench(model, "faults = { config_writable = [ { offset = 0x04, bits = 0x8 } ] }"));
    DEC21143_Card* card = bench.Select(0, 3);
    ASSERT_EQ(card->RunBoardTest(0), nullptr) << model;
    card->WriteRegister(0, 0x04, card->ReadRegister(0, 0x04) | 0x8);
    const char* result = card->RunBoardTest(0);
    if (std::string(model) == "R51") {
      EXPECT_EQ(result, nullptr) << result;
    } else {
      EXPECT_STREQ(result, "Reserved bits set in CFCS register");
    }
  }
}

TEST(AdapterModels, BitFlipCatchesAStatusBitThatClears) {
  // A system error flagged at power-up is cleared by the first write of CFCS.
  AdapterBench bench(OneBoardBench("R51", "faults = { config_status = 0x4000 }"));
  DEC21143_Card* card = bench.Select(0, 3);
  const uint32_t cfcs = card->ReadRegister(0, 0x04);
  ASSERT_NE(cfcs & 0x40000000, 0u);
  char expected[80];
  std::snprintf(expected, sizeof expected, "Bad Value. Count=0 Exp=0x%08x Read=0x%08x", cfcs & ~0x4u,
                cfcs & ~0x40000004u);
  EXPECT_STREQ(card->RunExtraTest(0), expected);
}

}  // namespace
