// Configuration space of the 21143 on the R51 and R83 boards.
#include <gtest/gtest.h>

#include "board_checks.h"

namespace {

using sim::BoardModel;
using sim::BoardVariant;

struct BoardKind {
  BoardModel model;
  BoardVariant variant;
  const char* name;
};

const BoardKind kBoards[] = {
    {BoardModel::R51, BoardVariant::Tx, "R51_TX"},
    {BoardModel::R83, BoardVariant::Tx, "R83_TX"},
    {BoardModel::R83, BoardVariant::Fx, "R83_FX"},
};

class GoodBoardConfig : public testing::TestWithParam<BoardKind> {};

TEST_P(GoodBoardConfig, PassesConfigurationReadsAndWrites) {
  BoardBench b(BoardConfig(GetParam().model, GetParam().variant));
  EXPECT_EQ(checks::ConfigurationReads(b, GetParam().model), "");
  EXPECT_EQ(checks::ReadOnlyConfigBits(b, checks::ConfigurationWriteMasks(GetParam().model)), "");
  // The checks leave a working function behind.
  EXPECT_EQ(checks::ConfigurationReads(b, GetParam().model), "");
  EXPECT_EQ(b.cfg(0x04) & 0x7, 0x7u);
}

// The self-test's expected values and its three groups of read-only bits.
TEST_P(GoodBoardConfig, PassesTheSelfTestConfigurationChecks) {
  BoardBench b(BoardConfig(GetParam().model, GetParam().variant));
  EXPECT_EQ(b.cfg(0x00), 0x00191011u);
  EXPECT_EQ(b.cfg(0x08) & 0xFFFFFF00, 0x02000000u);
  EXPECT_EQ(b.cfg(0x3C) & 0xFFFFFF00, 0x28140100u);
  checks::ConfigMasks m1{}, m2{}, m3{};
  m1[0x00 / 4] = 0xFFFFFFFF;
  m1[0x08 / 4] = 0xFFFFFF00;
  m1[0x0C / 4] = 0x00FF0000;
  m1[0x2C / 4] = 0xFFFFFFFF;
  m1[0x3C / 4] = 0xFFFFFF00;
  m2[0x04 / 4] = 0x000FFC00;
  m2[0x0C / 4] = 0x30000000;
  m2[0x10 / 4] = 0x00000002;
  m2[0x30 / 4] = 0x000007FE;
  m2[0x34 / 4] = m2[0x38 / 4] = 0xFFFFFFFF;
  for (int o = 0x58; o <= 0xFC; o += 4) m3[o / 4] = (o == 0xDC || o == 0xE0) ? 0 : 0xFFFFFFFF;
  for (const auto& masks : {m1, m2, m3}) EXPECT_EQ(checks::ReadOnlyConfigBits(b, masks), "");
}

INSTANTIATE_TEST_SUITE_P(Boards, GoodBoardConfig, testing::ValuesIn(kBoards),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Dec21143Config, ResetValues) {
  BoardBench r83(BoardConfig(BoardModel::R83));
  BoardBench r51(BoardConfig(BoardModel::R51));
  struct Row {
    uint8_t offset;
    uint32_t mask;
    uint32_t r83;
    uint32_t r51;
  } rows[] = {
      {0x00, 0xFFFFFFFF, 0x00191011, 0x00191011},
      {0x04, 0xFFFFFFFF, 0x02900007, 0x02900007},  // medium DEVSEL, capabilities, I/O+memory+master
      {0x08, 0xFFFFFFFF, 0x02000041, 0x02000030},  // Ethernet controller and the part's revision
      {0x44, 0xFFFFFFFF, 0x00000000, 0x00000000},
      {0x10, 0x0000007F, 0x00000001, 0x00000001},
      {0x14, 0x0000007F, 0x00000000, 0x00000000},
      {0x2C, 0xFFFFFFFF, 0x043013D8, 0x010013D8},  // CSID from EEPROM words 0 and 1
      {0x34, 0xFFFFFFFF, 0x000000DC, 0x000000DC},
      {0x3C, 0xFFFFFF00, 0x28140100, 0x28140100},
      {0x40, 0xFFFFFFFF, 0x00000000, 0x00000000},
      {0xDC, 0x000000FF, 0x00000001, 0x00000001},  // power management capability
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(checks::At(row.offset));
    EXPECT_EQ(r83.cfg(row.offset) & row.mask, row.r83);
    EXPECT_EQ(r51.cfg(row.offset) & row.mask, row.r51);
  }
}

TEST(Dec21143Config, WritableRegistersAndBarSizes) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCfg(0x10, 0xFFFFFFFF);
  EXPECT_EQ(b.cfg(0x10), 0xFFFFFF81u);  // 128 bytes of I/O
  b.setCfg(0x14, 0xFFFFFFFF);
  EXPECT_EQ(b.cfg(0x14), 0xFFFFFF80u);  // 128 bytes of memory
  b.setCfg(0x30, 0xFFFFFFFF);
  EXPECT_EQ(b.cfg(0x30), 0xFFFC0001u);
  b.setCfg(0x40, 0xFFFFFFFF);
  EXPECT_EQ(b.cfg(0x40), 0xC000FF00u);  // sleep, snooze, driver area
  b.setCfg(0x40, 0);
  b.setCfg(0x04, 0xFFFF);
  EXPECT_EQ(b.cfg(0x04) & 0xFFFF, 0x0157u);
  // Wake-up LAN address and SecureON password on the R83's part.
  b.setCfg(0x44, 0x12345678);
  b.setCfg(0x4C, 0x9ABCDEF0);
  EXPECT_EQ(b.cfg(0x44), 0x12345678u);
  EXPECT_EQ(b.cfg(0x4C), 0x9ABCDEF0u);
}

TEST(Dec21143Config, CacheLineSizeTakesOnlyBurstSizes) {
  BoardBench b(BoardConfig(BoardModel::R83));
  for (uint32_t size : {8u, 16u, 32u}) {
    b.setCfg(0x0C, 0x4000 | size);
    EXPECT_EQ(b.cfg(0x0C), 0x4000 | size);
  }
  b.setCfg(0x0C, 0x400C);
  EXPECT_EQ(b.cfg(0x0C), 0x4000u);
}

TEST(Dec21143Config, StatusErrorsClearWhenWrittenOne) {
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
  c.faults.chip.statusBits = 0x6000;  // SERR# signalled, master abort received
  BoardBench b(c);
  EXPECT_EQ(checks::ConfigurationReads(b, BoardModel::R83), "CFCS reports system error");
  b.setCfg(0x04, (b.cfg(0x04) & 0xFFFF) | 0x40000000);
  EXPECT_EQ(b.cfg(0x04) >> 16, 0x2290u);
  b.setCfg(0x04, (b.cfg(0x04) & 0xFFFF) | 0x20000000);
  EXPECT_EQ(b.cfg(0x04) >> 16, 0x0290u);
}

TEST(Dec21143Config, AsleepOnlyConfigurationAnswers) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCsr(7, 0x1);
  b.setCfg(0x40, 0x80000000);
  EXPECT_EQ(b.csr(7), 0xFFFFFFFFu);
  EXPECT_EQ(b.io(0x38), 0xFFFFFFFFu);
  b.setCfg(0x40, 0);
  EXPECT_EQ(b.csr(7) & 0xFFFF, 0x1u);
  b.setCfg(0xE0, 3);  // D3
  EXPECT_EQ(b.csr(7), 0xFFFFFFFFu);
  b.setCfg(0xE0, 0);
  EXPECT_EQ(b.csr(7) & 0xFFFF, 0x1u);
}

// The R51's extra test: bus mastering flipped off and on 200 times, CFCS read
// back exactly each time.
std::string BusMasterBitFlip(BoardBench& b) {
  for (int n = 0; n < 200; ++n) {
    const uint32_t x = b.cfg(0x04);
    b.setCfg(0x04, x & ~4u);
    if (b.cfg(0x04) != (x & ~4u)) return "Bad Value. Count=" + std::to_string(n);
    b.setCfg(0x04, x | 4u);
    if (b.cfg(0x04) != x) return "Bad Value. Count=" + std::to_string(n);
  }
  return "";
}

TEST(Dec21143Config, BusMasterBitFlip) {
  BoardBench good(BoardConfig(BoardModel::R51));
  EXPECT_EQ(BusMasterBitFlip(good), "");
  good.setCfg(0x04, 0x0003);  // started with bus mastering off
  EXPECT_EQ(BusMasterBitFlip(good), "Bad Value. Count=0");
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R51);
  c.faults.chip.statusBits = 0x2000;  // a master abort on record clears when written back
  BoardBench bad(c);
  EXPECT_EQ(BusMasterBitFlip(bad), "Bad Value. Count=0");
}

// Faults a configuration check exists to catch.
TEST(Dec21143Config, WritableReadOnlyBitsFailConfigurationWrites) {
  struct Case {
    BoardModel model;
    uint8_t offset;
    uint32_t bits;
  } cases[] = {
      {BoardModel::R83, 0x00, 0x0000FFFF},
      {BoardModel::R83, 0x04, 0x06000000},
      {BoardModel::R51, 0x48, 0xFFFFFFFF},
      {BoardModel::R83, 0xE0, 0x00FF0000},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(checks::At(k.offset));
    sim::AdapterBoardConfig c = BoardConfig(k.model);
    c.faults.chip.configWritable = {{k.offset, k.bits}};
    BoardBench b(c);
    EXPECT_EQ(checks::ConfigurationReads(b, k.model), "");
    EXPECT_EQ(checks::ReadOnlyConfigBits(b, checks::ConfigurationWriteMasks(k.model)),
              "Reg 0x" + checks::At(k.offset) + " bits aren't RO");
  }
}

// The R51's part has no wake-up LAN registers; an R83's part on an R51 board
// fails the R51's table there.
TEST(Dec21143Config, WakeUpLanPartOnAnR51FailsItsWriteTable) {
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R51);
  c.wakeUpLan = true;
  BoardBench b(c);
  EXPECT_EQ(checks::ReadOnlyConfigBits(b, checks::ConfigurationWriteMasks(BoardModel::R51)),
            "Reg 0x44 bits aren't RO");
}

}  // namespace
