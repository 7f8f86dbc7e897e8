#include "app/eeprom_production.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "app/dialog_test_card.h"
#include "app/eeprom_backup.h"
#include "app/mac_pool.h"
#include "support/run_orvdiag.h"

namespace ep = eeprom_production;
namespace fs = std::filesystem;

namespace {

class EepromProductionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directories(dir);
    for (size_t w = 0; w < 64; ++w) card.words[w] = static_cast<uint16_t>(0xA000 + w);
    card.r83Fiber = false;
    options.backupDirectory = dir.string();
    options.now = 1796958900;  // 2026-12-11T03:15:00Z
  }
  void TearDown() override { fs::remove_all(dir); }

  // A dialog opened on the card with the given address typed in.
  EEPROMDialog& Dialog(const std::string& mac) {
    dialog.Initialise();
    dialog.ethernetAddressText = mac;
    dialog.monthText = "12";
    dialog.dayText = "31";
    dialog.yearText = "2002";
    card.calls.clear();
    return dialog;
  }
  std::vector<fs::path> Files() const {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(dir)) out.push_back(entry.path());
    return out;
  }

  const fs::path dir = fs::temp_directory_path() / ("orv-eeprom-prod-" + std::to_string(getpid()));
  DialogTestCard card;
  EEPROMDialog dialog{card};
  ep::Options options;
};

TEST_F(EepromProductionTest, ProgramsAfterABackupAndVerifies) {
  const EepromWords old = card.words;
  const ep::Result result = ep::Program(Dialog("00:11:22:33:44:55"), card, options);
  ASSERT_EQ(result.outcome, ep::Outcome::Programmed) << result.error;
  EXPECT_TRUE(result.written);
  EXPECT_TRUE(result.verified);
  EXPECT_TRUE(result.mismatches.empty());
  EXPECT_EQ(result.backupPath, (dir / "eeprom-backup-001122334455-20261211T031500.txt").string());
  EXPECT_EQ(eeprom_backup::Read(result.backupPath), old) << "the backup holds the image as it was";
  EXPECT_EQ(result.changes, ep::Compare(old, result.image));
  EXPECT_EQ(result.changes.front(), (ep::WordDifference{0, 0xA000, 0x13D8}));
  for (size_t w = 0; w < 64; ++w) EXPECT_EQ(card.words[w], result.image[w]) << w;
  // The sequence: all reads of the old image, enable, 64 writes, disable, 64 reads back.
  ASSERT_EQ(card.calls.size(), 64u + 66u + 64u);
  EXPECT_EQ(card.calls[64], "e1");
  EXPECT_EQ(card.calls[129], "e0");
  EXPECT_EQ(card.calls[130], "r0");
}

TEST_F(EepromProductionTest, BackupFileIsOneWordPerLineAndNeverOverwritten) {
  EepromWords words{};
  words[0] = 0x13D8;
  words[63] = 0xBEEF;
  EthernetAddress mac;
  ASSERT_TRUE(mac.Parse("00:11:22:33:44:55"));
  const std::string first = eeprom_backup::Write(dir.string(), mac, options.now, words, "board 00:03 R83");
  const std::string second = eeprom_backup::Write(dir.string(), mac, options.now, words, "");
  EXPECT_EQ(fs::path(second).filename(), "eeprom-backup-001122334455-20261211T031500-2.txt");
  const std::string text = ReadFileText(first);
  EXPECT_EQ(text.substr(0, text.find("13d8")), "# EEPROM backup: 64 words, word 0 first\n# board 00:03 R83\n");
  EXPECT_NE(text.find("\n13d8  # 00 Vendor ID\n0000  # 01 Subsystem ID\n"), std::string::npos);
  EXPECT_NE(text.find("\n0000  # 0c\n"), std::string::npos) << "a word without a label";
  EXPECT_NE(text.find("\nbeef  # 3f CRC\n"), std::string::npos);
  EXPECT_EQ(eeprom_backup::Read(second), words);
  EXPECT_THROW(eeprom_backup::Write((dir / "missing").string(), mac, options.now, words, ""), eeprom_backup::BackupError);
}

TEST_F(EepromProductionTest, BackupReaderRefusesWhatIsNotSixtyFourWords) {
  const std::pair<const char*, const char*> bad[] = {
      {"short", "0000\n0001\n"}, {"not hex", "zz\n"}, {"too wide", "10000\n"}, {"signed", "-1\n"}};
  for (const auto& [what, text] : bad) {
    SCOPED_TRACE(what);
    std::ofstream(dir / "bad.txt") << text;
    EXPECT_THROW(eeprom_backup::Read((dir / "bad.txt").string()), eeprom_backup::BackupError);
  }
}

TEST_F(EepromProductionTest, VerifyReportsEveryWordThatReadsBackWrong) {
  card.badWord = 42;  // this word drops bit 0 of what is written
  card.badBits = 0x0001;
  const ep::Result result = ep::Program(Dialog("00:11:22:33:44:55"), card, options);
  EXPECT_EQ(result.outcome, ep::Outcome::Failed);
  EXPECT_TRUE(result.written);
  EXPECT_FALSE(result.verified);
  EXPECT_EQ(result.mismatches, (std::vector<ep::WordDifference>{{42, 0x0011, 0x0010}}));
  EXPECT_EQ(result.error, "verify failed: 1 of 64 words read back wrong");
  EXPECT_FALSE(result.backupPath.empty());
}

TEST_F(EepromProductionTest, DryRunWritesNothing) {
  options.dryRun = true;
  const ep::Result result = ep::Program(Dialog("00:11:22:33:44:55"), card, options);
  EXPECT_EQ(result.outcome, ep::Outcome::DryRun);
  EXPECT_TRUE(card.WritesAndEnables().empty());
  EXPECT_TRUE(Files().empty()) << "no backup either";
  EXPECT_EQ(result.changes.size(), 64u) << "every word of this EEPROM differs from the new image";
  EXPECT_EQ(result.changes[45], (ep::WordDifference{45, 0xA02D, 0x199F}));
}

TEST_F(EepromProductionTest, UnusableAddressesAreRefusedUnlessForced) {
  const char* refused[] = {"01:00:5e:00:00:01", "ff:ff:ff:ff:ff:ff", "00:00:00:00:00:00", "03:11:22:33:44:55"};
  for (const char* mac : refused) {
    SCOPED_TRACE(mac);
    const ep::Result result = ep::Program(Dialog(mac), card, options);
    EXPECT_EQ(result.outcome, ep::Outcome::Refused);
    EXPECT_NE(result.error.find(mac), std::string::npos) << result.error;
    EXPECT_TRUE(card.calls.empty()) << "nothing read or written";
  }
  options.force = true;
  EXPECT_EQ(ep::Program(Dialog("01:00:5e:00:00:01"), card, options).outcome, ep::Outcome::Programmed);
  EXPECT_EQ(card.words[42], 0x0100);
}

TEST_F(EepromProductionTest, BadInputAndAMissingBackupDirectoryWriteNothing) {
  ep::Result result = ep::Program(Dialog("00:11:22"), card, options);
  EXPECT_EQ(result.outcome, ep::Outcome::Refused);
  EXPECT_EQ(result.error, "Ethernet MAC address must be of the form XX:XX:XX:XX:XX:XX.");

  options.backupDirectory = (dir / "missing").string();
  result = ep::Program(Dialog("00:11:22:33:44:55"), card, options);
  EXPECT_EQ(result.outcome, ep::Outcome::Failed);
  EXPECT_NE(result.error.find("nothing written"), std::string::npos);
  EXPECT_TRUE(card.WritesAndEnables().empty());
}

// ---- The MAC pool ----

class MacPoolTest : public EepromProductionTest {
 protected:
  void WritePool(const std::string& text) { std::ofstream(poolFile) << text; }
  std::string PoolText() const { return ReadFileText(poolFile); }
  const std::string poolFile = (dir / "pool.ini").string();
};

TEST_F(MacPoolTest, MovesOnOnlyAfterTheBoardVerified) {
  WritePool("[MAC Pool]\nNext Address=00:11:22:33:44:ff\n");
  MacPool pool(poolFile);

  options.dryRun = true;
  ep::Result result = ep::ProgramFromPool(Dialog(""), card, pool, options);
  EXPECT_EQ(result.outcome, ep::Outcome::DryRun);
  EXPECT_EQ(PoolText(), "[MAC Pool]\nNext Address=00:11:22:33:44:ff\n");

  options.dryRun = false;
  card.badWord = 44;
  card.badBits = 0x0100;
  result = ep::ProgramFromPool(Dialog(""), card, pool, options);
  EXPECT_EQ(result.outcome, ep::Outcome::Failed);
  EXPECT_EQ(PoolText(), "[MAC Pool]\nNext Address=00:11:22:33:44:ff\n") << "a board that failed verify uses no address";

  options.verify = false;
  card.badWord = -1;
  result = ep::ProgramFromPool(Dialog(""), card, pool, options);
  EXPECT_EQ(result.outcome, ep::Outcome::Programmed);
  EXPECT_EQ(PoolText(), "[MAC Pool]\nNext Address=00:11:22:33:44:ff\n") << "not verified: the pool stays";

  options.verify = true;
  result = ep::ProgramFromPool(Dialog(""), card, pool, options);
  ASSERT_EQ(result.outcome, ep::Outcome::Programmed) << result.error;
  EXPECT_EQ(result.address.Format(), "00:11:22:33:44:ff");
  EXPECT_EQ(card.words[44], 0x44FF);
  EXPECT_EQ(PoolText(), "[MAC Pool]\nNext Address=00:11:22:33:45:00\n") << "the carry runs through the bytes";
}

TEST_F(MacPoolTest, PoolProblemsRefuseTheRun) {
  const std::pair<const char*, const char*> cases[] = {
      {"[Other]\nNext Address=00:11:22:33:44:55\n", "has no \"Next Address\""},
      {"[MAC Pool]\nNext Address=00:11:22:33:44\n", "not an address"},
      {"[MAC Pool]\nNext Address=00:11:22:33:44:55 junk\n", "not an address"},
      {"[MAC Pool]\nNext Address=00:11:22:33:45:00\nLast Address=00:11:22:33:44:ff\n", "used up"},
      {"[MAC Pool]\nNext Address=used up\n", "used up"},
  };
  for (const auto& [text, reason] : cases) {
    SCOPED_TRACE(text);
    WritePool(text);
    MacPool pool(poolFile);
    const ep::Result result = ep::ProgramFromPool(Dialog(""), card, pool, options);
    EXPECT_EQ(result.outcome, ep::Outcome::Refused);
    EXPECT_NE(result.error.find(reason), std::string::npos) << result.error;
    EXPECT_TRUE(card.calls.empty());
  }
  MacPool missing((dir / "none.ini").string());
  EXPECT_THROW(missing.Next(), MacPool::Error);
}

TEST_F(MacPoolTest, TheLastAddressOfAllUsesThePoolUp) {
  WritePool("[MAC Pool]\nNext Address=fe:ff:ff:ff:ff:ff\nLast Address=fe:ff:ff:ff:ff:ff\n");
  MacPool pool(poolFile);
  EXPECT_EQ(pool.Next().Format(), "fe:ff:ff:ff:ff:ff") << "the last address is still in the pool";
  EthernetAddress top;
  ASSERT_TRUE(top.Parse("ff:ff:ff:ff:ff:ff"));
  pool.Advance(top);
  EXPECT_NE(PoolText().find("Next Address=used up\n"), std::string::npos);
  EXPECT_THROW(pool.Next(), MacPool::Error);
}

}  // namespace
