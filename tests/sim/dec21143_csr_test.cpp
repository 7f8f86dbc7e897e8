// The 21143's CSRs in I/O and memory space: reset values, write-only and
// write-one-to-clear bits, decoding, software reset, CSR8.
#include <gtest/gtest.h>

#include "board_checks.h"

namespace {

using sim::BoardModel;

TEST(Dec21143Csr, GoodBoardPassesBothRegisterTests) {
  for (BoardModel model : {BoardModel::R51, BoardModel::R83}) {
    BoardBench b(BoardConfig(model));
    checks::CardReset(b);
    EXPECT_EQ(checks::RegisterCheck(b, true), "");
    EXPECT_EQ(checks::RegisterCheck(b, false), "");
    // Again, after the checks' own writes.
    EXPECT_EQ(checks::RegisterCheck(b, true), "");
  }
}

TEST(Dec21143Csr, ResetValuesInBothSpaces) {
  BoardBench b(BoardConfig(BoardModel::R83));
  const uint32_t expected[16] = {0xFE000000, 0xFFFFFFFF, 0xFFFFFFFF, 0, 0, 0xF0000000, 0x32000040, 0xF3FE0000,
                                 0xE0000000, 0, 0, 0xFFFE0000, 0x000000C6, 0xFFFF0000, 0xFFFFFFFF, 0x8FF00000};
  for (int n = 0; n < 16; ++n) {
    if (n == 9) continue;  // the serial lines
    SCOPED_TRACE(n);
    EXPECT_EQ(b.csr(n), expected[n]);
    EXPECT_EQ(b.io(8u * n), expected[n]);
    EXPECT_EQ(b.mem(8u * n + 4), 0u);  // nothing between the CSRs
  }
}

TEST(Dec21143Csr, SoftwareResetRestoresTheRegisters) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCsr(0, 0x01A0A000);
  b.setCsr(3, b.phys(0x800));
  b.setCsr(6, 0x020C0008);
  b.setCsr(7, 0x0001A0FF);
  b.setCsr(15, 0x000E0000);
  EXPECT_EQ(b.csr(0), 0xFFA0A000u);  // bit 16 stays reserved
  EXPECT_EQ(b.csr(6), 0x320C0008u);
  b.setIo(0, 1);
  EXPECT_EQ(b.csr(0), 0xFE000000u);
  EXPECT_EQ(b.csr(3), 0u);
  EXPECT_EQ(b.csr(6), 0x32000040u);
  EXPECT_EQ(b.csr(7), 0xF3FE0000u);
  EXPECT_EQ(b.csr(15), 0x8FF00000u);
}

TEST(Dec21143Csr, StatusEventsClearByOneAndStatesAreReadOnly) {
  BoardBench b(BoardConfig(BoardModel::R83));
  // Receive started on a list whose first descriptor the host owns.
  b.descriptor(0x800, 0, 0x02000000 | 1518, b.phys(0x820));
  b.setCsr(3, b.phys(0x800));
  b.setCsr(6, 0x320C0002);
  EXPECT_EQ(b.csr(5), 0xF0000000u | 4u << 17 | 0x80);  // suspended, RU
  b.setCsr(5, 0x03FE0000);                               // the states take no write
  EXPECT_EQ(b.csr(5), 0xF0000000u | 4u << 17 | 0x80);
  b.setCsr(5, 0x80);
  EXPECT_EQ(b.csr(5), 0xF0000000u | 4u << 17);
  b.setCsr(6, 0x320C0000);  // stop: RPS
  EXPECT_EQ(b.csr(5), 0xF0000100u);
}

TEST(Dec21143Csr, SummaryBitsFollowTheEnables) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.descriptor(0x800, 0, 1518, b.phys(0x820));
  b.setCsr(3, b.phys(0x800));
  b.setCsr(6, 0x320C0002);  // RU, not enabled: no summary
  EXPECT_EQ(b.csr(5) & 0x18000, 0u);
  b.setCsr(7, 0x80);  // RU enabled: abnormal summary
  EXPECT_EQ(b.csr(5) & 0x18000, 0x8000u);
  b.setCsr(5, 0x8080);
  EXPECT_EQ(b.csr(5) & 0x18080, 0u);
}

TEST(Dec21143Csr, FilterModeBitsIgnoreWrites) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCsr(6, 0xFFFFDFFD);  // all but the starts
  EXPECT_EQ(b.csr(6) & 0x15, 0u);
  EXPECT_EQ(b.csr(6) & 0x0C010100, 0u);
  EXPECT_EQ(b.csr(6) & 0x02000000, 0x02000000u);
}

TEST(Dec21143Csr, NarrowWritesChangeTheirBytesOnly) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCsr(7, 0x0001A0FF);
  b.machine().memWrite(b.memBase() + 0x38, 0x12, 1);
  EXPECT_EQ(b.csr(7) & 0xFFFF, 0xA012u);
  EXPECT_EQ(b.machine().memRead(b.memBase() + 0x39, 1), 0xA0u);
}

// Each fault against the register test meant to catch it.
TEST(Dec21143Csr, FaultsFailTheRegisterTests) {
  struct Case {
    const char* name;
    void (*apply)(sim::Dec21143Faults&);
    std::string io;
    std::string memory;
  } cases[] = {
      {"answers when disabled", [](sim::Dec21143Faults& f) { f.csrAnswersDisabled = 7; },
       "register 38 refuses to die", "register 38 refuses to die"},
      {"write-only bit reads back", [](sim::Dec21143Faults& f) { f.csrWritable = {6, 0x00000004}; },
       "register 30 should be write-only", "register 30 should be write-only"},
      {"process state writable", [](sim::Dec21143Faults& f) { f.csrWritable = {5, 0x00E00000}; },
       "register 28 should be write-only", "register 28 should be write-only"},
      {"wrong reset value", [](sim::Dec21143Faults& f) { f.csrWrongValue = {0, 0x00010000}; },
       "reg 00 read fe010000", "reg 00 read fe010000"},
      {"poll demand reads wrong", [](sim::Dec21143Faults& f) { f.csrWrongValue = {2, 0x00000001}; },
       "reg 10 read fffffffe", "reg 10 read fffffffe"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
    k.apply(c.faults.chip);
    BoardBench b(c);
    EXPECT_EQ(checks::RegisterCheck(b, true), k.io);
    b.setCfg(0x04, 0x0007);
    EXPECT_EQ(checks::RegisterCheck(b, false), k.memory);
  }
}

// DMA to an address nothing answers: master abort, fatal bus error, no more
// DMA until a software reset.
TEST(Dec21143Csr, MasterAbortStopsDma) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCsr(4, 0x40000000);
  b.setCsr(6, 0x320C2000);
  EXPECT_EQ(b.csr(5) & 0x03F02000, 0x00802000u);  // FBE, master abort, transmit stopped
  EXPECT_EQ(b.cfg(0x04) & 0x20000000, 0x20000000u);
  b.setCsr(0, 1);
  EXPECT_EQ(b.csr(5), 0xF0000000u);
}

TEST(Dec21143Csr, DecodingFollowsTheCommandRegister) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCfg(0x04, 0x0005);  // memory off
  EXPECT_EQ(b.csr(6), 0xFFFFFFFFu);
  EXPECT_EQ(b.io(0x30), 0x32000040u);
  b.setCfg(0x04, 0x0006);  // I/O off
  EXPECT_EQ(b.io(0x30), 0xFFFFFFFFu);
  EXPECT_EQ(b.csr(6), 0x32000040u);
}

}  // namespace
