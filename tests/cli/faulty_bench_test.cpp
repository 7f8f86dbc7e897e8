// The shipped faulty bench end to end: "BD Level" over every board catches each
// board's fault with exactly the test and text meant to catch it, the good
// boards pass, and the exit status says a test failed.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <string>

#include "support/run_orvdiag.h"

namespace {

using Failures = std::map<std::string, std::string>;  // test name -> result text

TEST(FaultyBench, BdLevelCatchesEveryFault) {
  const std::map<int, Failures> expected = {
      {1, {}},
      {2, {}},
      {3, {{"Configuration Writes", "Reg 0x08 bits 0xffffffff aren't RO Exp=0x020000be, Read=0x02000041"}}},
      {4, {{"Configuration Reads", "CFCS reports system error"}}},
      {5,
       {{"I/O-mapped Registers", "I/O-mapped register 28 refuses to die (is f0000000)"},
        {"Memory-mapped Registers", "Memory-mapped register 28 refuses to die (is f0000000)"}}},
      {6,
       {{"I/O-mapped Registers", "I/O-mapped register 30 bits 00000015 should be write-only"},
        {"Memory-mapped Registers", "Memory-mapped register 30 bits 00000015 should be write-only"}}},
      {7,
       {{"I/O-mapped Registers", "I/O-mapped reg 0x00 read 0xfe010000 exp 0x00000000"},
        {"Memory-mapped Registers", "Memory-mapped reg 0x00 read 0xfe010000 exp 0x00000000"}}},
      {8,
       {{"DEC21143 Internal Loopback", "Timeout on loopback reception"},
        {"PHY Loopback", "Timeout on loopback reception"}}},
      {9,
       {{"DEC21143 Internal Loopback", "Byte 80 should be 80 was 7f"}, {"PHY Loopback", "Byte 80 should be 80 was 7f"}}},
      {10,
       {{"DEC21143 Internal Loopback", "Transmit DMA occurred while disabled!"},
        {"PHY Loopback", "Transmit DMA occurred while disabled!"}}},
      {11, {{"Serial EEPROM", "EEPROM word 5 contains stuck bits 0100"}}},
      {12, {{"Serial EEPROM", "EEPROM word 0 contains stuck bits ffff"}}},
      {13, {{"Serial EEPROM", "EEPROM didn't write-protect correctly"}}},
      {14, {{"Level1 PHY", "Unknown Phy Type!"}, {"PHY Loopback", "Timeout on loopback reception"}}},
      {15, {{"Level1 PHY", "LXT970 mirror register not responding"}}},
      {16, {{"Level1 PHY", "LXT970 reports XTAL circuit is not stable"}}},
      {17, {{"Level1 PHY", "LXT970 reports low voltage fault"}}},
      {18, {{"Level1 PHY", "LXT970 register 04 has wrong value 01e0"}}},
  };

  const OrvdiagRun run = RunOrvdiag(std::string("--bench '") + ORV_SOURCE_DIR + "/bench/faulty.toml' --json bd-level");
  ASSERT_EQ(run.status, 1) << run.err;
  const auto report = nlohmann::json::parse(run.out);
  EXPECT_FALSE(report["passed"].get<bool>());
  ASSERT_EQ(report["boards"].size(), expected.size());
  for (const auto& board : report["boards"]) {
    const int slot = board["slot"];
    SCOPED_TRACE("board 00:" + std::to_string(slot));
    ASSERT_TRUE(expected.count(slot));
    const Failures& failures = expected.at(slot);
    EXPECT_EQ(board["tests"].size(), 8u) << "every board runs its eight board tests";
    size_t failed = 0;
    for (const auto& test : board["tests"]) {
      const std::string name = test["name"];
      const auto it = failures.find(name);
      if (it == failures.end()) {
        EXPECT_TRUE(test["passed"].get<bool>()) << name << ": " << test["result"];
      } else {
        ++failed;
        EXPECT_FALSE(test["passed"].get<bool>()) << name;
        EXPECT_EQ(test["result"], it->second) << name;
      }
    }
    EXPECT_EQ(failed, failures.size());
  }
}

TEST(FaultyBench, GoodBuiltInBenchPasses) {
  const OrvdiagRun run = RunOrvdiag("bd-level");
  EXPECT_EQ(run.status, 0) << run.out << run.err;
  EXPECT_EQ(run.out.find("FAILED"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("Testing Board 01 Device 00"), std::string::npos);
  EXPECT_NE(run.out.find("Passed PHY Loopback"), std::string::npos);
}

}  // namespace
