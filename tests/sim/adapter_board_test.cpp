// A board's serial EEPROM and PHY as the program reaches them through CSR9,
// the factory image, the EEPROM file, and the faults of both.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "board_checks.h"
#include "sim/bench.h"
#include "sim/eeprom_file.h"
#include "sim/eeprom_image.h"

namespace {

using sim::BoardModel;
using sim::BoardVariant;

TEST(EepromImage, ChecksumsOfKnownImages) {
  sim::SerialEeprom::Words zero{};
  sim::FixEepromChecksums(zero);
  EXPECT_EQ(zero[8], 0x00E1);
  EXPECT_EQ(zero[63], 0xAE36);
  // The high byte of word 8 takes part in the CRC-8 and stays.
  sim::SerialEeprom::Words w{};
  w[8] = 0x5A00;
  sim::FixEepromChecksums(w);
  EXPECT_EQ(w[8] & 0xFF00, 0x5A00);
  EXPECT_NE(w[8] & 0x00FF, 0x00E1);
}

TEST(EepromImage, FactoryImageLayout) {
  const sim::MacAddress mac{0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
  const auto tx = sim::FactoryEepromImage(BoardModel::R83, BoardVariant::Tx, mac);
  const uint16_t txWords[][2] = {{0, 0x13D8}, {1, 0x0430}, {9, 0x0104}, {10, 0x4000}, {11, 0x1205},
                                 {12, 0x5634}, {13, 0x1E00}, {15, 0x0800}, {16, 0x1101}, {17, 0x0003},
                                 {18, 0x0E02}, {19, 0x0E08}, {20, 0x0000}, {21, 0x7800}, {22, 0x01E0},
                                 {23, 0x5000}, {24, 0x1800}, {42, 0x0040}, {43, 0x0512}, {44, 0x3456},
                                 {46, 0x0400}, {51, 1},      {52, 0x0033}};
  for (const auto& [word, value] : txWords) EXPECT_EQ(tx[word], value) << "word " << word;
  const auto fx = sim::FactoryEepromImage(BoardModel::R83, BoardVariant::Fx, mac);
  EXPECT_EQ(fx[15], 0x0010);
  EXPECT_EQ(fx[21], 0x6000);
  EXPECT_EQ(fx[46], 0x0406);
  EXPECT_EQ(fx[47], 1);
  EXPECT_EQ(fx[49], 1);
  EXPECT_EQ(fx[51], 0);
  const auto r51 = sim::FactoryEepromImage(BoardModel::R51, BoardVariant::Tx, mac);
  EXPECT_EQ(r51[1], 0x0100);
  EXPECT_EQ(r51[46], 0x0006);
  for (const auto* image : {&tx, &fx, &r51}) {
    EXPECT_EQ((*image)[8] & 0xFF, sim::EepromIdBlockCrc(*image));
    EXPECT_EQ((*image)[63], sim::EepromImageCrc(*image));
  }
}

TEST(AdapterBoard, EepromAndStationAddressThroughCsr9) {
  BoardBench b(BoardConfig(BoardModel::R83));
  const auto expected = sim::FactoryEepromImage(BoardModel::R83, BoardVariant::Tx, BoardConfig(BoardModel::R83).mac);
  for (int i = 0; i < 64; ++i) EXPECT_EQ(adapter_srom_read(b.adapter(), i), expected[i]) << "word " << i;
  uint8_t mac[6];
  adapter_read_station_address(b.adapter(), mac);
  EXPECT_EQ(std::vector<uint8_t>(mac, mac + 6), std::vector<uint8_t>({0x00, 0x40, 0x05, 0x12, 0x34, 0x56}));
}

TEST(AdapterBoard, SubsystemIdComesFromTheEepromAtPowerUp) {
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R51);
  c.eeprom = sim::FactoryEepromImage(BoardModel::R51, BoardVariant::Tx, c.mac);
  (*c.eeprom)[0] = 0x1234;
  (*c.eeprom)[1] = 0x5678;
  BoardBench b(c);
  EXPECT_EQ(b.cfg(0x2C), 0x56781234u);
  // Programming changes the EEPROM, not CSID, until the next power-up.
  adapter_srom_write_enable(b.adapter(), 1);
  adapter_srom_write(b.adapter(), 1, 0x0100);
  adapter_srom_write_enable(b.adapter(), 0);
  EXPECT_EQ(adapter_srom_read(b.adapter(), 1), 0x0100);
  EXPECT_EQ(b.cfg(0x2C), 0x56781234u);
}

TEST(AdapterBoard, PhyIdentifiersThroughMii) {
  struct Case {
    BoardModel model;
    sim::BoardPhy phy;
    sim::Csr9Lines::MdioFault noPhy;
    uint16_t id1, id2;
  } cases[] = {
      {BoardModel::R51, sim::BoardPhy::Lxt970, sim::Csr9Lines::MdioFault::None, 0x7810, 0x0003},
      {BoardModel::R83, sim::BoardPhy::Lxt971, sim::Csr9Lines::MdioFault::None, 0x0013, 0x78E2},
      {BoardModel::R83, sim::BoardPhy::None, sim::Csr9Lines::MdioFault::None, 0xFFFF, 0xFFFF},
      {BoardModel::R83, sim::BoardPhy::Lxt971, sim::Csr9Lines::MdioFault::NothingAttached, 0xFFFF, 0xFFFF},
      {BoardModel::R83, sim::BoardPhy::Lxt971, sim::Csr9Lines::MdioFault::Shorted, 0x0000, 0x0000},
  };
  for (const Case& k : cases) {
    sim::AdapterBoardConfig c = BoardConfig(k.model);
    c.phy = k.phy;
    c.faults.noPhy = k.noPhy;
    BoardBench b(c);
    EXPECT_EQ(adapter_mii_read(b.adapter(), 2), k.id1);
    EXPECT_EQ(adapter_mii_read(b.adapter(), 3), k.id2);
  }
}

TEST(AdapterBoard, GoodEepromPassesTheEepromTest) {
  BoardBench b(BoardConfig(BoardModel::R83));
  const sim::SerialEeprom::Words before = b.board().eeprom().words();
  EXPECT_EQ(checks::SerialEepromTest(b), "");
  EXPECT_EQ(b.board().eeprom().words(), before);
}

TEST(AdapterBoard, EepromFaultsFailTheEepromTest) {
  struct Case {
    const char* name;
    void (*apply)(sim::SerialEeprom::Faults&);
    std::string result;
  } cases[] = {
      {"stuck bit", [](sim::SerialEeprom::Faults& f) { f.stuckOr[5] = 0x0100; },
       "EEPROM word 5 contains stuck bits"},
      {"ignores writes", [](sim::SerialEeprom::Faults& f) { f.ignoreWrites = true; },
       "EEPROM word 0 contains stuck bits"},
      {"no write protection", [](sim::SerialEeprom::Faults& f) { f.noWriteProtect = true; },
       "EEPROM didn't write-protect correctly"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
    k.apply(c.faults.eeprom);
    BoardBench b(c);
    EXPECT_EQ(checks::SerialEepromTest(b), k.result);
  }
}

class EepromFile : public testing::Test {
 protected:
  void SetUp() override {
    path_ = std::filesystem::temp_directory_path() /
            ("orv_eeprom_" + std::to_string(::getpid()) + "_" +
             testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove(path_);
  }
  void TearDown() override { std::filesystem::remove(path_); }
  std::filesystem::path path_;
};

TEST_F(EepromFile, ProgrammedWordsSurvivePowerCycles) {
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
  c.eepromFile = path_.string();
  {
    BoardBench b(c);
    EXPECT_FALSE(std::filesystem::exists(path_));  // nothing written yet
    adapter_srom_write_enable(b.adapter(), 1);
    adapter_srom_write(b.adapter(), 1, 0x0432);
    adapter_srom_write(b.adapter(), 46, 0x0406);
    adapter_srom_write_enable(b.adapter(), 0);
  }
  const auto saved = sim::LoadEepromFile(path_.string());
  ASSERT_TRUE(saved.has_value());
  EXPECT_EQ((*saved)[46], 0x0406);
  BoardBench again(c);
  EXPECT_EQ(again.cfg(0x2C), 0x043213D8u);
  EXPECT_EQ(adapter_srom_read(again.adapter(), 46), 0x0406);
  EXPECT_EQ(adapter_srom_read(again.adapter(), 42), 0x0040);
}

TEST_F(EepromFile, MalformedFilesAreRefused) {
  const std::pair<const char*, const char*> cases[] = {
      {"0000 0001\n", "holds 2 words, not 64"},
      {"0000 zz\n", "\"zz\" is not a 16-bit hexadecimal word"},
      {"10000\n", "\"10000\" is not a 16-bit hexadecimal word"},
  };
  for (const auto& [text, message] : cases) {
    std::ofstream(path_) << text;
    try {
      sim::LoadEepromFile(path_.string());
      ADD_FAILURE() << text;
    } catch (const sim::EepromFileError& e) {
      EXPECT_NE(std::string(e.what()).find(message), std::string::npos) << e.what();
    }
  }
  // A board whose file is unusable is refused with the bench line.
  const std::string bench = "[[board]]\ndevice = 3\nmodel = \"R83\"\neeprom_file = \"" + path_.string() + "\"\n";
  try {
    sim::LoadBenchText(bench, "t.toml");
    ADD_FAILURE() << "loaded";
  } catch (const sim::BenchError& e) {
    EXPECT_NE(std::string(e.what()).find("t.toml:4: "), std::string::npos) << e.what();
  }
  sim::SerialEeprom::Words words{};
  words[63] = 0xBEEF;
  sim::SaveEepromFile(path_.string(), words);
  EXPECT_EQ(sim::LoadEepromFile(path_.string()), words);
}

TEST(AdapterBoard, GoodBoardsPassTheLevel1PhyTest) {
  for (auto [model, variant] : {std::pair{BoardModel::R51, BoardVariant::Tx}, {BoardModel::R51, BoardVariant::Fx},
                                {BoardModel::R83, BoardVariant::Tx}, {BoardModel::R83, BoardVariant::Fx}}) {
    BoardBench b(BoardConfig(model, variant));
    checks::CardReset(b);
    EXPECT_EQ(checks::Level1Phy(b, variant == BoardVariant::Fx), "");
  }
}

TEST(AdapterBoard, PhyFaultsFailTheLevel1PhyTest) {
  struct Case {
    const char* name;
    void (*apply)(sim::BoardFaults&);
    std::string result;
  } cases[] = {
      {"mirror stuck", [](sim::BoardFaults& f) { f.phy.mirrorStuck = true; }, "LXT970 mirror register not responding"},
      {"XTAL", [](sim::BoardFaults& f) { f.phy.xtalUnstable = true; }, "LXT970 reports XTAL circuit is not stable"},
      {"low voltage", [](sim::BoardFaults& f) { f.phy.lowVoltage = true; }, "LXT970 reports low voltage fault"},
      {"wrong register", [](sim::BoardFaults& f) { f.phy.wrongRegister = 4, f.phy.wrongXor = 0x0001; },
       "LXT970 register 4 has wrong value 01e0"},
      {"no PHY, ones", [](sim::BoardFaults& f) { f.noPhy = sim::Csr9Lines::MdioFault::NothingAttached; },
       "Unknown Phy Type!"},
      {"no PHY, zeros", [](sim::BoardFaults& f) { f.noPhy = sim::Csr9Lines::MdioFault::Shorted; }, "Unknown Phy Type!"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    sim::AdapterBoardConfig c = BoardConfig(BoardModel::R51);
    k.apply(c.faults);
    BoardBench b(c);
    checks::CardReset(b);
    EXPECT_EQ(checks::Level1Phy(b, false), k.result);
  }
}

// A part that never shows ready makes every write wait out all 5001 samples.
TEST(AdapterBoard, NeverReadyEepromStretchesWrites) {
  uint64_t took[2];
  for (bool neverReady : {false, true}) {
    sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
    c.faults.eeprom.neverReady = neverReady;
    BoardBench b(c);
    adapter_srom_write_enable(b.adapter(), 1);
    const uint64_t start = b.machine().clock().monotonicMicros();
    adapter_srom_write(b.adapter(), 7, 0x1234);
    took[neverReady] = b.machine().clock().monotonicMicros() - start;
    EXPECT_EQ(adapter_srom_read(b.adapter(), 7), 0x1234);
  }
  EXPECT_LT(took[0], 3000u);
  EXPECT_GE(took[1], 5001u * 3);
}

}  // namespace
