#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/dialog_message.h"

class PCI_Card;

// "Card  Settings": what the current card's serial EEPROM says about the
// board, as read-only texts. Nothing is written back.
class CardSettings {
 public:
  static constexpr const char* kTitle = "Card  Settings";
  static constexpr const char* kNoVirtualAddress = "XX:XX:XX:XX:XX:XX";

  explicit CardSettings(PCI_Card& card);

  // Opening: the port chosen when the card has several, then the EEPROM read
  // and the texts built. A text the card throws is shown ("EEProm error") and
  // the fields keep their initial texts.
  void Open();

  int port = 0;
  std::string adapterType;
  std::string macAddress;
  std::string virtualAddress = kNoVirtualAddress;
  std::string subVendorId;
  std::string boardId;
  std::string connectionType;
  std::string programDate;
  std::string subsystemId;

  // The fields top to bottom as the dialog shows them: label, text, and whether
  // the field shows its text in capitals.
  struct Field {
    const char* label;
    const std::string& text;
    bool upperCase;
  };
  std::vector<Field> Fields() const;

  // The Port Select dialog: called with the card's port, answers the chosen
  // one. Null keeps the card's port.
  std::function<int(int initialPort)> choosePort;
  DialogMessages messages;

  // The text of an "Adapter Type" code (EEPROM word 52); "Unknown" for a code
  // not listed.
  static const char* AdapterTypeText(uint16_t code);

 private:
  PCI_Card& card_;
};
