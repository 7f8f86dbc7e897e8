// Every fault of docs/fault-catalogue.md on a simulated board: exactly the
// board tests named for it fail, with the text the program gives, and every
// other board test passes. Each test runs on a freshly powered board, so that
// what one failing test leaves behind (a decoder switched off, a complemented
// EEPROM) cannot make the next one fail.
#include <gtest/gtest.h>

#include <cctype>
#include <map>
#include <string>

#include "adapter_bench.h"

namespace {

enum Test {
  kConfigReads,
  kConfigWrites,
  kIoRegisters,
  kMemRegisters,
  kSerialEeprom,
  kLevel1Phy,
  kInternalLoopback,
  kPhyLoopback,
  kTestCount
};

struct FaultRow {
  const char* label;
  const char* model;
  const char* board;  // keys of the [[board]] table: the faults and any variant or PHY
  std::map<int, std::string> failures;  // board test -> text; every other test passes
};

const FaultRow kRows[] = {
    // ---- Controller ----
    {"config_writable", "R83", "faults = { config_writable = [ { offset = 0x08, bits = 0xff } ] }",
     {{kConfigWrites, "Reg 0x08 bits 0xffffffff aren't RO Exp=0x020000be, Read=0x02000041"}}},
    {"config_status system error", "R83", "faults = { config_status = 0x4000 }",
     {{kConfigReads, "CFCS reports system error"}}},
    {"config_status reserved bit", "R83", "faults = { config_status = 0x0800 }",
     {{kConfigReads, "Reserved bits set in CFCS register"}}},
    {"csr_answers_when_disabled", "R83", "faults = { csr_answers_when_disabled = 5 }",
     {{kIoRegisters, "I/O-mapped register 28 refuses to die (is f0000000)"},
      {kMemRegisters, "Memory-mapped register 28 refuses to die (is f0000000)"}}},
    {"csr_writable", "R83", "faults = { csr_writable = { csr = 6, bits = 0x15 } }",
     {{kIoRegisters, "I/O-mapped register 30 bits 00000015 should be write-only"},
      {kMemRegisters, "Memory-mapped register 30 bits 00000015 should be write-only"}}},
    {"csr_wrong_value", "R83", "faults = { csr_wrong_value = { csr = 0, bits = 0x00010000 } }",
     {{kIoRegisters, "I/O-mapped reg 0x00 read 0xfe010000 exp 0x00000000"},
      {kMemRegisters, "Memory-mapped reg 0x00 read 0xfe010000 exp 0x00000000"}}},
    {"loopback_drops", "R83", "faults = { loopback_drops = true }",
     {{kInternalLoopback, "Timeout on loopback reception"}, {kPhyLoopback, "Timeout on loopback reception"}}},
    {"loopback_corrupt_byte", "R83", "faults = { loopback_corrupt_byte = 0x80 }",
     {{kInternalLoopback, "Byte 80 should be 80 was 7f"}, {kPhyLoopback, "Byte 80 should be 80 was 7f"}}},
    {"dma_without_bus_master", "R51", "faults = { dma_without_bus_master = true }",
     {{kInternalLoopback, "Transmit DMA occurred while disabled!"},
      {kPhyLoopback, "Transmit DMA occurred while disabled!"}}},
    {"rx_crc_error_every", "R83", "faults = { rx_crc_error_every = 1 }", {}},

    // ---- Serial EEPROM ----
    {"eeprom_stuck", "R83", "faults = { eeprom_stuck = [ { word = 5, bits = 0x0100, level = 1 } ] }",
     {{kSerialEeprom, "EEPROM word 5 contains stuck bits 0100"}}},
    {"eeprom_stuck at 0", "R51", "faults = { eeprom_stuck = [ { word = 40, bits = 0x8001, level = 0 } ] }",
     {{kSerialEeprom, "EEPROM word 40 contains stuck bits 8001"}}},
    {"eeprom_ignores_writes", "R83", "faults = { eeprom_ignores_writes = true }",
     {{kSerialEeprom, "EEPROM word 0 contains stuck bits ffff"}}},
    {"eeprom_no_write_protect", "R83", "faults = { eeprom_no_write_protect = true }",
     {{kSerialEeprom, "EEPROM didn't write-protect correctly"}}},
    {"eeprom_never_ready", "R83", "faults = { eeprom_never_ready = true }", {}},

    // ---- PHY ----
    {"no_phy ones", "R83", "faults = { no_phy = \"ones\" }",
     {{kLevel1Phy, "Unknown Phy Type!"}, {kPhyLoopback, "Timeout on loopback reception"}}},
    {"no_phy zeros", "R51", "faults = { no_phy = \"zeros\" }",
     {{kLevel1Phy, "Unknown Phy Type!"}, {kPhyLoopback, "Timeout on loopback reception"}}},
    {"phy_mirror_stuck LXT970", "R51", "faults = { phy_mirror_stuck = true }",
     {{kLevel1Phy, "LXT970 mirror register not responding"}}},
    {"phy_mirror_stuck LXT971", "R83", "faults = { phy_mirror_stuck = true }", {}},
    {"phy_xtal_unstable LXT970", "R83", "variant = \"FX\"\nfaults = { phy_xtal_unstable = true }",
     {{kLevel1Phy, "LXT970 reports XTAL circuit is not stable"}}},
    {"phy_xtal_unstable LXT971", "R83", "faults = { phy_xtal_unstable = true }", {}},
    {"phy_low_voltage LXT970", "R51", "faults = { phy_low_voltage = true }",
     {{kLevel1Phy, "LXT970 reports low voltage fault"}}},
    {"phy_low_voltage LXT971", "R83", "faults = { phy_low_voltage = true }", {}},
    // Bit 7 of register 4 is the one IsFiber looks at: the LXT970 test then
    // holds the twisted-pair PHY to the fibre values and stops at register 0.
    {"phy_wrong_register 4/0x80 LXT970", "R51", "faults = { phy_wrong_register = { register = 4, xor = 0x0080 } }",
     {{kLevel1Phy, "LXT970 register 00 has wrong value 3100"}}},
    {"phy_wrong_register 4/0x01 LXT970", "R51", "faults = { phy_wrong_register = { register = 4, xor = 0x0001 } }",
     {{kLevel1Phy, "LXT970 register 04 has wrong value 01e0"}}},
    {"phy_wrong_register 4/0x80 LXT971", "R83", "faults = { phy_wrong_register = { register = 4, xor = 0x0080 } }",
     {{kLevel1Phy, "LXT971 register 4 has wrong value 0161"}}},
    {"phy_wrong_register 16 LXT971", "R83", "faults = { phy_wrong_register = { register = 16, xor = 0x0100 } }",
     {{kLevel1Phy, "LXT971 register 16 has wrong value 0184"}}},
    {"link_down", "R83", "faults = { link_down = true }", {}},
};

class FaultCatalogue : public ::testing::TestWithParam<FaultRow> {};

TEST_P(FaultCatalogue, FailsExactlyItsTests) {
  const FaultRow& row = GetParam();
  for (int test = 0; test < kTestCount; ++test) {
    AdapterBench bench(OneBoardBench(row.model, row.board));
    DEC21143_Card* card = bench.Select(0, 3);
    ASSERT_NE(card, nullptr);
    SCOPED_TRACE(card->BoardTestNames()[test]);
    card->Reset();
    const char* result = card->RunBoardTest(test);
    const auto expected = row.failures.find(test);
    if (expected == row.failures.end()) {
      EXPECT_EQ(result, nullptr) << result;
    } else {
      EXPECT_STREQ(result, expected->second.c_str());
    }
  }
}

std::string RowName(const ::testing::TestParamInfo<FaultRow>& info) {
  std::string name;
  for (const char* c = info.param.label; *c != '\0'; ++c) name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
  return name;
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultCatalogue, ::testing::ValuesIn(kRows), RowName);

// The R51's bus-master test on the controller faults: only a status bit that
// its own writes clear disturbs it.
TEST(FaultCatalogueBitFlip, OnControllerFaults) {
  const std::pair<const char*, bool> rows[] = {
      {"faults = { dma_without_bus_master = true }", true},
      {"faults = { csr_wrong_value = { csr = 0, bits = 0x00010000 } }", true},
      {"faults = { config_writable = [ { offset = 0x04, bits = 0x00000008 } ] }", true},
      {"faults = { config_status = 0x2000 }", false},  // master abort: cleared by writing it back
  };
  for (const auto& [faults, passes] : rows) {
    AdapterBench bench(OneBoardBench("R51", faults));
    const char* result = bench.Select(0, 3)->RunExtraTest(0);
    EXPECT_EQ(result == nullptr, passes) << faults << ": " << (result ? result : "passed");
  }
}

}  // namespace
