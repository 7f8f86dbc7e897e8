#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/dialog_message.h"

class PCI_Card;

// "Registers": the card's register sets one at a time, each named position
// with its offset and current value, and "Set" to write one of them. The
// dialog knows nothing of any register; the card describes and accesses them.
class RegistersDialog {
 public:
  static constexpr const char* kTitle = "Registers";
  static constexpr size_t kValueTextLimit = 8;  // the "Value:" edit's limit
  static constexpr const char* kNotHexMessage = "The value must be a hexadecimal number.";

  explicit RegistersDialog(PCI_Card& card);

  struct Row {
    std::string name;     // "Register"
    uint32_t offset = 0;  // the row's item data
    std::string address;  // "%02X" of the offset
    std::string value;    // "%02X", "%04X" or "%08X" by the set's width
  };

  // Dialog start: the set chooser filled, its first entry selected, the list
  // filled for it.
  void Start();

  const std::vector<std::string>& SetNames() const { return setNames_; }
  int SelectedSet() const { return selectedSet_; }
  // A change of the set chooser's selection; an index outside the chooser is
  // ignored.
  void SelectSet(int index);

  const std::vector<Row>& Rows() const { return rows_; }
  // The selected row of the list; -1 for none.
  int selectedRow = -1;

  // "Refresh": reads every value again.
  void Refresh();

  // The "Value:" edit: the value to write, in hexadecimal.
  std::string valueText;
  // "Set": writes valueText to the selected row's register, then empties the
  // edit and reads the values back. Nothing is written with no row selected or
  // an empty value; a value that is not hexadecimal is refused with a message
  // and the edit keeps it.
  void Set();

  DialogMessages messages;

 private:
  void FillList();

  PCI_Card& card_;
  std::vector<std::string> setNames_;
  int selectedSet_ = -1;
  std::vector<Row> rows_;
};
