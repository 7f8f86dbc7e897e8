#include "app/flash_command.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "app/flash_viewer.h"
#include "app/main_dialog.h"
#include "support/fake_config_system.h"
#include "support/fake_eeprom_card.h"

namespace {

// A card of a given name that may offer flash programming.
class NamedCard : public FakeEepromCard {
 public:
  NamedCard(PCI_System* system, const char* name, bool flash) : FakeEepromCard(system), name_(name), flash_(flash) {}
  const char* Name() override { return name_; }
  bool HasFlash() override { return flash_; }

 private:
  const char* name_;
  bool flash_;
};

// Devices 3 and 4 are "R83" cards with flash, device 5 an "R51" without.
class FlashSystem : public FakeConfigSystem {
 public:
  void SelectDevice(int bus, int device) override {
    PCI_System::SelectDevice(bus, device);
    if (card == nullptr) return;
    delete card;
    card = device == 5 ? new NamedCard(this, "R51", false) : new NamedCard(this, "R83", flashOnR83);
  }
  bool flashOnR83 = true;
};

class FlashCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int device : {3, 4, 5}) system.Add(0, device, 0x00191011, 0x02000041);
    ASSERT_EQ(system.ScanBuses(), nullptr);
    dialog.Initialise();
    log.Clear();
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }

  void WriteSettings(const std::string& text) { std::ofstream(settings) << text; }
  std::vector<std::string> Shown() const { return {log.Lines().rbegin(), log.Lines().rend()}; }

  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("orv-flash-" + std::to_string(getpid()));
  const std::string settings = (dir / "global.ini").string();
  FlashSystem system;
  ResultsLog log{"/nonexistent/results.txt"};
  MainDialog dialog{system, log};
  const DialogMessage notice{"The computer needs to be powered down for the flash file to become active !!!",
                             "Important Information"};
};

TEST_F(FlashCommandTest, SeveralBoardsLogTheirFlashFileThenTheNotice) {
  WriteSettings("[Diag]\nR83 Flash File=r83boot.bin\n");
  FlashCommand command(dialog, settings);
  EXPECT_TRUE(command.Run());
  EXPECT_EQ(Shown(), (std::vector<std::string>{"Programming Board 00 Device 03 with \"r83boot.bin\"",
                                               "Programming Board 00 Device 04 with \"r83boot.bin\""}))
      << "the R51 offers no flash and gets no line";
  EXPECT_EQ(command.messages.List(), std::vector<DialogMessage>{notice});
  EXPECT_EQ(system.selectedDevice, 5) << "every row is visited";
}

TEST_F(FlashCommandTest, UnselectedRowsAreVisitedButNotLogged) {
  WriteSettings("[Diag]\nR83 Flash File=r83boot.bin\n");
  dialog.Click({1, 2});
  FlashCommand command(dialog, settings);
  EXPECT_TRUE(command.Run());
  EXPECT_EQ(Shown(), std::vector<std::string>{"Programming Board 00 Device 04 with \"r83boot.bin\""});
  EXPECT_EQ(system.selectedDevice, 5);
}

TEST_F(FlashCommandTest, MissingKeyStopsAtTheFirstBoardWithoutTheNotice) {
  const char* settingsTexts[] = {nullptr, "[Diag]\nR51 Flash File=r51.bin\n", "[Diag]\nR83 Flash File=\n",
                                 "[Other]\nR83 Flash File=r83boot.bin\n"};
  for (const char* text : settingsTexts) {
    SCOPED_TRACE(text ? text : "no settings file");
    std::filesystem::remove(settings);
    if (text) WriteSettings(text);
    FlashCommand command(dialog, settings);
    EXPECT_FALSE(command.Run());
    EXPECT_EQ(command.messages.List(),
              (std::vector<DialogMessage>{{"Could not determine R83 Flash File", "PCI Diagnostics"}}));
    EXPECT_TRUE(log.Lines().empty());
    EXPECT_EQ(system.selectedDevice, 3) << "no further rows are visited";
  }
}

TEST_F(FlashCommandTest, BoardsWithoutFlashGetOnlyTheNotice) {
  system.flashOnR83 = false;
  FlashCommand command(dialog, settings);  // no settings file at all
  EXPECT_TRUE(command.Run());
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_EQ(command.messages.List(), std::vector<DialogMessage>{notice});
}

TEST_F(FlashCommandTest, OneBoardOpensTheViewerThenTheNotice) {
  dialog.Click({1});
  FlashCommand command(dialog, settings);
  int opened = 0;
  command.runViewer = [&](FlashViewer& viewer) {
    ++opened;
    EXPECT_TRUE(command.messages.List().empty()) << "the notice follows the viewer";
    EXPECT_EQ(viewer.Lines().front().substr(0, 7), "000000:");
    viewer.Next();
  };
  EXPECT_TRUE(command.Run());
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(command.messages.List(), std::vector<DialogMessage>{notice});
  EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
