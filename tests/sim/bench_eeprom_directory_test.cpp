#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

#include "sim/adapter_board.h"
#include "sim/bench.h"
#include "sim/eeprom_file.h"

namespace {

// Boards without an eeprom_file of their own keep their EEPROM in the
// loader's EEPROM directory, one file per slot; without a directory nothing
// persists.
TEST(BenchEepromDirectory, BoardsWithoutTheirOwnFileKeepTheirEepromThere) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("orv-eeprom-dir-" + std::to_string(getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir);

  sim::SerialEeprom::Words words{};
  words[42] = 0x0011;
  words[43] = 0x2233;
  words[44] = 0x4455;
  sim::SaveEepromFile((dir / "eeprom-00-03-0.txt").string(), words);

  auto board = [](sim::Machine& machine) { return dynamic_cast<sim::AdapterBoard*>(machine.functionAt(0, 3, 0)); };

  auto persisted = sim::BuiltinBench({dir.string()});
  ASSERT_NE(board(*persisted), nullptr);
  EXPECT_EQ(board(*persisted)->eeprom().words(), words) << "the saved image wins over the factory image";
  EXPECT_EQ(board(*persisted)->boardConfig().eepromFile, (dir / "eeprom-00-03-0.txt").string());
  auto other = dynamic_cast<sim::AdapterBoard*>(persisted->functionAt(0, 4, 0));
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->boardConfig().eepromFile, (dir / "eeprom-00-04-0.txt").string());

  auto plain = sim::BuiltinBench();
  ASSERT_NE(board(*plain), nullptr);
  EXPECT_TRUE(board(*plain)->boardConfig().eepromFile.empty());
  EXPECT_NE(board(*plain)->eeprom().words(), words);
  fs::remove_all(dir);
}

}  // namespace
