#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/board_commands.h"
#include "app/main_dialog.h"
#include "support/fake_config_system.h"

namespace {

// Two adapters on bus 0 with unknown cards (the default detection): no tests,
// configuration registers shown by name.
class BoardCommandsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    system.Add(0, 3, 0x00191011, 0x02000041)[11] = 0x043013D8;
    system.Add(0, 4, 0x00191011, 0x02000041)[11] = 0x010013D8;
    ASSERT_EQ(system.ScanBuses(), nullptr);
    dialog.Initialise();
    log.Clear();
    log.onAppend = [this](const std::string& line) { written.push_back(line); };
  }
  // The lines as the list shows them, oldest first.
  std::vector<std::string> Shown() const { return {log.Lines().rbegin(), log.Lines().rend()}; }

  FakeConfigSystem system;
  ResultsLog log{"/nonexistent/results.txt"};
  MainDialog dialog{system, log};
  std::vector<std::string> written;
  const std::string sep = ResultsLog::Separator();
};

TEST_F(BoardCommandsTest, ResetLogsEveryBoard) {
  board_commands::Reset(dialog);
  EXPECT_EQ(Shown(), (std::vector<std::string>{sep, "Bus=00 Dev=03 Reset Complete", "Bus=00 Dev=04 Reset Complete", sep}));
}

TEST_F(BoardCommandsTest, BdLevelOnCardsWithoutTestsStillFramesEachBoard) {
  board_commands::BdLevel(dialog);
  EXPECT_EQ(Shown(), (std::vector<std::string>{sep, "Testing Board 00 Device 03", "", "Testing Board 00 Device 04", "",
                                               sep}));
  EXPECT_EQ(system.selectedDevice, 4) << "the walk leaves the last selected row current";
}

TEST_F(BoardCommandsTest, EchoServerAfterBdLevel) {
  dialog.Click({1});
  board_commands::BdLevelEcho(dialog);
  EXPECT_EQ(Shown(), (std::vector<std::string>{sep, "Testing Board 00 Device 04", "", sep, sep,
                                               "Testing Board 00 Device 04", sep}));
}

TEST_F(BoardCommandsTest, TestSelectedWithNothingSelected) {
  dialog.Click({0});
  EXPECT_EQ(board_commands::TestSelected(dialog), 0);
  const std::string header = sep + " Bus=0 Dev=3";
  EXPECT_EQ(Shown(), (std::vector<std::string>{header, "|------------------------------| 1", "Total Errors=0", header}));
}

TEST_F(BoardCommandsTest, DumpListsEveryPositionAbsentNamesAsNull) {
  dialog.Click({1});
  board_commands::DumpPciInfo(dialog);
  const std::vector<std::string> shown = Shown();
  ASSERT_EQ(shown.size(), 18u);
  EXPECT_EQ(shown.front(), sep + " Bus=0 Dev=4");
  EXPECT_EQ(shown[1], "Unknown Card Bus 00 Slot 04 :: PCI Configuration :: Identification @ 0x00 = 0x00000000");
  EXPECT_EQ(shown[14], "Unknown Card Bus 00 Slot 04 :: PCI Configuration :: (null) @ 0x34 = 0x00000000");
  EXPECT_EQ(shown[16], "Unknown Card Bus 00 Slot 04 :: PCI Configuration :: Latency and Interrupts @ 0x3c = 0x00000000");
  EXPECT_EQ(shown.back(), sep + " Bus=0 Dev=4 ");
}

}  // namespace
