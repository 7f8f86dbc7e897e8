#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "support/run_orvdiag.h"

namespace fs = std::filesystem;

namespace {

// A bench in a scratch directory: an R83 TX whose EEPROM is kept in a file
// beside the bench, and an R51 whose EEPROM drops bit 0 of word 42.
class DialogCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    std::ofstream(dir / "bench.toml") << R"(
[[board]]
device = 3
model = "R83"
mac = "02:13:d8:00:03:00"
eeprom_file = "r83.eeprom"

[[board]]
device = 4
model = "R51"
mac = "02:13:d8:00:04:00"
eeprom_file = "r51.eeprom"
faults = { eeprom_stuck = [ { word = 42, bits = 0x0001, level = 0 } ] }
)";
  }
  void TearDown() override { fs::remove_all(dir); }

  OrvdiagRun Run(const std::string& arguments) { return RunOrvdiag("--bench bench.toml " + arguments, dir); }
  bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

  const fs::path dir = fs::temp_directory_path() / ("orv-dialog-cli-" + std::to_string(getpid()));
};

TEST_F(DialogCommandsTest, ProgramThenShowAndCheckInLaterRuns) {
  const OrvdiagRun program = Run("eeprom program --board 00:03 --mac 00:11:22:33:44:55 --date 12/31/2002");
  ASSERT_EQ(program.status, 0) << program.out << program.err;
  EXPECT_TRUE(Has(program.out, "Programmed 00:11:22:33:44:55")) << program.out;
  EXPECT_TRUE(Has(program.out, "Verified: all 64 words read back as written"));
  EXPECT_TRUE(Has(program.out, "Word 2d: old ")) << "the date word changed";

  std::vector<fs::path> backups;
  for (const auto& entry : fs::directory_iterator(dir))
    if (entry.path().filename().string().rfind("eeprom-backup-001122334455-", 0) == 0) backups.push_back(entry.path());
  ASSERT_EQ(backups.size(), 1u) << "the backup lands in the current directory";
  EXPECT_TRUE(Has(ReadFileText(backups[0]), "\n0213  # 2a Ether Address Word 0\n")) << "it holds the old address";

  const OrvdiagRun show = Run("eeprom show --board 00:03");
  ASSERT_EQ(show.status, 0) << show.err;
  EXPECT_TRUE(Has(show.out, "  Ethernet Address: 00:11:22:33:44:55\n")) << show.out;
  EXPECT_TRUE(Has(show.out, "  Program Date: 12/31/2002\n"));
  EXPECT_TRUE(Has(show.out, "  Subsystem ID: 0430\n"));

  const OrvdiagRun check = Run("eeprom check --board 00:03");
  EXPECT_EQ(check.status, 0);
  EXPECT_TRUE(Has(check.out, "  ID block CRC: stored 0x")) << check.out;
  EXPECT_TRUE(Has(check.out, " OK\n  Image CRC: stored 0x"));
  EXPECT_FALSE(Has(check.out, "BAD"));

  const OrvdiagRun settings = Run("settings --board 00:03");
  EXPECT_TRUE(Has(settings.out, "  MAC Address: 00:11:22:33:44:55\n")) << settings.out;
  EXPECT_TRUE(Has(settings.out, "  Program Date: 12/31/2002\n"));
}

TEST_F(DialogCommandsTest, DryRunAndBadInputWriteNothing) {
  const OrvdiagRun dry = Run("eeprom program --board 00:03 --mac 00:11:22:33:44:55 --dry-run");
  ASSERT_EQ(dry.status, 0) << dry.err;
  EXPECT_TRUE(Has(dry.out, "  Word 2a: old 0x0213 new 0x0011\n")) << dry.out;
  EXPECT_TRUE(Has(dry.out, "would change"));

  const std::pair<const char*, const char*> bad[] = {
      {"--mac 00:11:22:33:44", "EEPROM Programming: Ethernet MAC address must be of the form XX:XX:XX:XX:XX:XX."},
      {"--mac 00:11:22:33:44:55 --date 1/x/2002", "PCI Diagnostics: Please enter an integer."},
      {"--mac 00:11:22:33:44:55 --board-id zz", "EEPROM Programming: Board ID must be a hexadecimal number."},
      {"--mac 01:00:5e:00:00:01", "is a multicast address"},
      {"--mac 00:00:00:00:00:00", "is all zero"},
      {"--mac 00:11:22:33:44:55 --adapter-type Plan9", "--adapter-type must be one of"},
  };
  for (const auto& [options, message] : bad) {
    SCOPED_TRACE(options);
    const OrvdiagRun run = Run(std::string("eeprom program --board 00:03 ") + options);
    EXPECT_EQ(run.status, 2);
    EXPECT_TRUE(Has(run.err, message)) << run.err;
  }
  EXPECT_FALSE(fs::exists(dir / "r83.eeprom")) << "the EEPROM was never written";
  const OrvdiagRun show = Run("eeprom show --board 00:03");
  EXPECT_TRUE(Has(show.out, "Ethernet Address: 02:13:d8:00:03:00"));
}

TEST_F(DialogCommandsTest, VerifyReportsTheWordThatDroppedABit) {
  const OrvdiagRun run = Run("eeprom program --board 00:04 --mac 00:11:22:33:44:55");
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(Has(run.out, "  Word 2a: expected 0x0011 read 0x0010\n")) << run.out;
  EXPECT_TRUE(Has(run.out, "FAILED: verify failed: 1 of 64 words read back wrong"));

  // The R51's own subsystem ID (0102) is not one automatic detection knows.
  const OrvdiagRun check = Run("--detect r51 --json eeprom check --board 00:04");
  EXPECT_EQ(check.status, 1) << "word 42 no longer matches the image CRC";
  const auto report = nlohmann::json::parse(check.out);
  EXPECT_EQ(report["boards"][0]["id_block_crc"]["ok"], true);
  EXPECT_EQ(report["boards"][0]["image_crc"]["ok"], false);
  EXPECT_EQ(report["passed"], false);
}

TEST_F(DialogCommandsTest, MacPoolHandsOutAddressesToVerifiedBoardsOnly) {
  std::ofstream(dir / "pool.ini") << "[MAC Pool]\nNext Address=00:11:22:33:44:fe\n";
  // Both boards: the R83 takes ...:fe, the R51 fails its verify and stops the run.
  const OrvdiagRun run = Run("--json eeprom program --mac-pool pool.ini");
  EXPECT_EQ(run.status, 1) << run.err;
  const auto report = nlohmann::json::parse(run.out);
  ASSERT_EQ(report["boards"].size(), 2u);
  EXPECT_EQ(report["boards"][0]["outcome"], "programmed");
  EXPECT_EQ(report["boards"][0]["address"], "00:11:22:33:44:fe");
  EXPECT_EQ(report["boards"][1]["outcome"], "failed");
  EXPECT_EQ(report["boards"][1]["address"], "00:11:22:33:44:ff");
  EXPECT_EQ(report["boards"][1]["mismatches"][0], (nlohmann::json{{"word", "2a"}, {"expected", "0x0011"}, {"read", "0x0010"}}));
  EXPECT_EQ(ReadFileText(dir / "pool.ini"), "[MAC Pool]\nNext Address=00:11:22:33:44:ff\n");

  EXPECT_EQ(Run("eeprom program --mac-pool pool.ini --no-verify").status, 2);
  EXPECT_EQ(Run("eeprom program --mac 00:11:22:33:44:55").status, 2) << "one address for two boards";
}

TEST_F(DialogCommandsTest, WordsListingAndRegisters) {
  const OrvdiagRun words = Run("eeprom words --board 00:03");
  ASSERT_EQ(words.status, 0) << words.err;
  EXPECT_TRUE(Has(words.out, "  2a      Ether Address Word 0")) << words.out;
  EXPECT_TRUE(Has(words.out, "0x0213\n"));

  const OrvdiagRun refused = Run("registers --board 00:03 --set \"PCI Configuration\" --write 0C=zz");
  EXPECT_EQ(refused.status, 2);
  EXPECT_TRUE(Has(refused.err, "Registers: The value must be a hexadecimal number.")) << refused.err;

  const OrvdiagRun set = Run("--json registers --board 00:03 --set \"pci configuration\" --write 0C=0000ff00");
  ASSERT_EQ(set.status, 0) << set.err;
  const auto report = nlohmann::json::parse(set.out);
  EXPECT_EQ(report["boards"][0]["writes"][0]["read_back"], "0000FF00");
  EXPECT_EQ(report["boards"][0]["sets"].size(), 1u);
}

TEST_F(DialogCommandsTest, FlashViewerOnOneBoardNoticeOnSeveral) {
  const OrvdiagRun one = Run("flash --board 00:03 --address 1F0");
  ASSERT_EQ(one.status, 0) << one.err;
  EXPECT_TRUE(Has(one.out, "Flash Memory Viewer at 0001F0\n0001F0: 00 00")) << one.out;
  EXPECT_TRUE(Has(one.out, "\n0002E0: "));
  const std::string notice =
      "Important Information: The computer needs to be powered down for the flash file to become active !!!\n";
  EXPECT_TRUE(Has(one.out, notice));

  // These boards offer no flash programming: no global.ini is needed.
  const OrvdiagRun several = Run("flash");
  EXPECT_EQ(several.status, 0);
  EXPECT_EQ(several.out, notice);
  EXPECT_EQ(Run("flash --address 100").status, 2) << "the viewer is for one board";
}

}  // namespace
