#pragma once
#include <functional>
#include <string>

#include "app/dialog_message.h"

class FlashViewer;
class MainDialog;

// The main window's "Flash" command. With one board selected it opens the
// flash viewer; with several it looks up in the settings file which flash
// image belongs to each kind of board (section "Diag", key "%s Flash File"
// with the card's name) and logs it for every selected board that offers
// flash programming. It programs nothing itself. Either way the operator is
// reminded that a new flash image needs a power-down.
class FlashCommand {
 public:
  static constexpr const char* kSettingsFile = ".\\global.ini";
  static constexpr const char* kSection = "Diag";
  static constexpr const char* kPowerDownNotice =
      "The computer needs to be powered down for the flash file to become active !!!";
  static constexpr const char* kNoticeCaption = "Important Information";

  explicit FlashCommand(MainDialog& dialog, std::string settingsFile = kSettingsFile);

  // Runs the flash viewer modally; it is open (showing its first page) when
  // called and closed when this returns. Null: closed at once.
  std::function<void(FlashViewer&)> runViewer;
  DialogMessages messages;

  // False when a board's flash file could not be determined; the command then
  // ends at that board without the power-down notice.
  bool Run();

 private:
  MainDialog& dialog_;
  std::string settingsFile_;
};
