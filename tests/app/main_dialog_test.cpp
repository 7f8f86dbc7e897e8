#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "pci/card_detection.h"
#include "support/fake_config_system.h"

namespace {

const Command kAllCommands[] = {
    Command::Flash,        Command::Reset,    Command::BdLevel,   Command::EchoServer,
    Command::BdLevelEcho,  Command::DumpPciInfo, Command::TestSelected, Command::EEProm,
    Command::Registers,    Command::CurrentCardSettings, Command::StartEchoServer, Command::SendReceive,
};

int EnabledCount(const MainDialog& dialog) {
  int count = 0;
  for (Command c : kAllCommands) count += dialog.IsEnabled(c);
  return count;
}

// Bus 0: host bridge, another vendor's device, a PCI-to-PCI bridge; bus 1: two
// adapters; bus 2: a device of another vendor only.
void BuildMachine(FakeConfigSystem& system, bool adapters) {
  system.Add(0, 0, 0x12378086, 0x06000000);
  system.Add(0, 2, 0x11111234, 0x03000000);
  system.Add(0, 5, 0x00011011, 0x06040000, 0x00010000)[6] = 0x00020100;
  if (adapters) {
    system.Add(1, 1, 0x00191011, 0x02000041)[11] = 0x043013D8;
    system.Add(1, 3, 0x00191011, 0x02000041)[11] = 0x010013D8;
  }
  system.Add(2, 7, 0x22221234, 0x0C030000);
  ASSERT_EQ(system.ScanBuses(), nullptr);
}

TEST(MainDialog, NoAdapterMeansAnEmptyListAndEveryCommandDisabled) {
  FakeConfigSystem system;
  BuildMachine(system, false);
  ResultsLog log("/nonexistent/results.txt");
  MainDialog dialog(system, log);
  dialog.Initialise();
  EXPECT_TRUE(dialog.Rows().empty());
  EXPECT_EQ(EnabledCount(dialog), 0);
  EXPECT_EQ(log.Lines(), (std::deque<std::string>{"Total PCI devices detected = 04", "Bus 02 has 01 devices.",
                                                  "Bus 00 has 03 devices."}));
}

TEST(MainDialog, ShowAllListsEveryFunctionAndBridgeBusNumbers) {
  FakeConfigSystem system;
  BuildMachine(system, true);
  ResultsLog log("/nonexistent/results.txt");
  MainDialog dialog(system, log);
  dialog.showAll = true;
  dialog.Initialise();
  ASSERT_EQ(dialog.Rows().size(), 6u);
  // A bridge met on a bus that already had its record keeps bus numbers 0.
  const card_list::Row& bridge = dialog.Rows()[2];
  EXPECT_EQ(bridge[2], "05");
  EXPECT_EQ(bridge[13], "0000");
  EXPECT_EQ(bridge[14], "0000");
  const card_list::Row& host = dialog.Rows()[0];
  EXPECT_EQ(host[13], "");
  EXPECT_EQ(host[14], "");
  EXPECT_EQ(log.Lines().front(), "Total PCI devices detected = 06");
  EXPECT_EQ(log.Lines().size(), 4u);  // three buses and the total

  // A bridge that opens its bus shows primary, secondary and subordinate.
  FakeConfigSystem first;
  first.Add(0, 0, 0x00011011, 0x06040000, 0x00010000)[6] = 0x00020100;
  first.Add(1, 0, 0x00191011, 0x02000000);
  ASSERT_EQ(first.ScanBuses(), nullptr);
  ResultsLog firstLog("/nonexistent/results.txt");
  MainDialog firstDialog(first, firstLog);
  firstDialog.showAll = true;
  firstDialog.Initialise();
  ASSERT_EQ(firstDialog.Rows().size(), 2u);
  // The secondary bus got its record first, so its device is listed first.
  const card_list::Row& opener = firstDialog.Rows()[1];
  EXPECT_EQ(opener[1], "00");
  EXPECT_EQ(opener[13], "0000");
  EXPECT_EQ(opener[14], "0001");
  EXPECT_EQ(opener[15], "0002");
}

TEST(MainDialog, RowShowsTheColumnsOfItsFunction) {
  FakeConfigSystem system;
  BuildMachine(system, true);
  ResultsLog log("/nonexistent/results.txt");
  MainDialog dialog(system, log);
  dialog.Initialise();
  ASSERT_EQ(dialog.Rows().size(), 2u);
  const card_list::Row expected = {"Unknown Card", "01", "01", "32", "TX", "41", "", "1011", "0019",
                                   "13d8",         "0430", "0002", "0000", "", "", "", "1"};
  EXPECT_EQ(dialog.Rows()[0], expected);
}

TEST(MainDialog, SelectionDecidesTheCommandsAndTheCurrentCard) {
  FakeConfigSystem system;
  BuildMachine(system, true);
  ResultsLog log("/nonexistent/results.txt");
  MainDialog dialog(system, log);
  dialog.Initialise();
  EXPECT_EQ(dialog.Selection(), (std::vector<bool>{true, true})) << "every row starts selected";
  EXPECT_EQ(EnabledCount(dialog), 6);
  EXPECT_FALSE(dialog.IsEnabled(Command::TestSelected));
  EXPECT_TRUE(dialog.IsEnabled(Command::DumpPciInfo));

  dialog.Click({1});
  EXPECT_EQ(EnabledCount(dialog), 12);
  EXPECT_EQ(system.selectedBus, 1);
  EXPECT_EQ(system.selectedDevice, 3) << "a single selected row becomes current";

  dialog.Click({});
  EXPECT_EQ(EnabledCount(dialog), 0);

  std::vector<int> walked;
  dialog.Click({0, 1});
  dialog.WalkSelectedRows([&](int bus, int device) {
    walked.push_back(bus * 100 + device);
    EXPECT_EQ(system.selectedDevice, device);
  });
  EXPECT_EQ(walked, (std::vector<int>{101, 103}));
  EXPECT_TRUE(dialog.MakeCurrent());
  EXPECT_EQ(dialog.Selection(), (std::vector<bool>{true, false}));
  EXPECT_EQ(system.selectedDevice, 1);
}

}  // namespace
