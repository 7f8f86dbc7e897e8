#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "app/dialog_message.h"

class PCI_Card;

// The 64 words of the adapter's serial EEPROM, word 0 first.
using EepromWords = std::array<uint16_t, 64>;

// "EEPROM Contents": the EEPROM's fields in operator terms, their validation,
// the programming of a complete new image on OK, and the "Advanced" listing of
// all 64 words. Every EEPROM access goes through the card's operations; texts
// the card throws are shown with the caption "EEProm error".
class EEPROMDialog {
 public:
  static constexpr const char* kTitle = "EEPROM Contents";

  explicit EEPROMDialog(PCI_Card& card);

  // ---- Dialog data (exchanged with the controls) ----
  int port = 0;  // chosen in the Port Select dialog
  int day = 0;
  int month = 0;
  int year = 0;
  std::string ethernetAddressText;
  std::string virtualAddressText;

  // ---- Controls ----
  // The three date edits as typed, in the order shown: month / day / year.
  std::string monthText = "0";
  std::string dayText = "0";
  std::string yearText = "0";
  // The ID edits, set and read directly as text.
  std::string subsystemVendorIdText;
  std::string subsystemIdText;
  std::string boardIdText;
  // Selection of "Adapter Type" (eeprom_image NIC type index) and of
  // "Connection Type" (eeprom_image connection type); -1 is no selection.
  int adapterType = -1;
  int connectionType = -1;

  bool VirtualAddressEnabled() const { return virtualAddressEnabled_; }
  // The operator fields are disabled once the dialog is expanded; OK still
  // programs the values they show.
  bool FieldsEnabled() const { return !expanded_; }
  bool Expanded() const { return expanded_; }

  // One row of the "Advanced" list: "Offset", "Name", "Value".
  struct WordRow {
    std::string offset;  // "%02x" of the word number
    std::string name;
    std::string value;   // "0x%04x" once read
  };
  const std::array<WordRow, 64>& WordRows() const { return rows_; }

  // The Port Select dialog, run when the card has more than one port: called
  // with the current port, answers the chosen one. Null keeps the port.
  std::function<int(int initialPort)> choosePort;
  DialogMessages messages;

  // Opening: reads the fields from the EEPROM.
  void Initialise();
  // "Advanced": expands the dialog and lists all 64 words with their labels.
  void Advanced();

  // OK without its writes: the controls are validated and the image that OK
  // would program is built (checksums included). None after a message; then
  // nothing may be written.
  std::optional<EepromWords> ComposeImage();
  // OK's writes: write enable, words 0 to 63 in order, write disable. False
  // after a thrown text (shown; the EEPROM may be partly written).
  bool WriteImage(const EepromWords& image);
  // OK: ComposeImage, then WriteImage. True when the dialog closes with OK.
  bool Ok();
  bool ClosedWithOk() const { return closedWithOk_; }

  // The "Name" label of an EEPROM word in the "Advanced" list; empty for a
  // word without one.
  static const char* WordLabel(int word);

 private:
  bool TransferDate();

  PCI_Card& card_;
  bool virtualAddressEnabled_ = true;
  bool expanded_ = false;
  bool closedWithOk_ = false;
  std::array<WordRow, 64> rows_;
};
