#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "app/dialog_message.h"

class PCI_System;

// "Flash Memory Viewer": the current card's flash as a hexadecimal dump, one
// page of 256 bytes at a time, with paging and a typed address. It only reads;
// the card is asked for anew at every refresh.
class FlashViewer {
 public:
  static constexpr const char* kTitle = "Flash Memory Viewer";
  static constexpr uint32_t kPageSize = 256;
  static constexpr size_t kAddressTextLimit = 30;  // characters of the field read

  explicit FlashViewer(PCI_System& system);

  // Opening: page address 0, then a refresh.
  void Open();
  // "<" and ">": the page address minus or plus 256 (32-bit wrap-around), then
  // a refresh. A click on a button takes the focus from the address field.
  void Previous();
  void Next();
  // "Program": no action.
  void Program() {}

  // The operator types in the address field: it gets the focus and its text
  // changes to `text`.
  void TypeAddress(const std::string& text);
  // The address field loses the focus.
  void LeaveAddressField();
  bool AddressFieldFocused() const { return addressFocused_; }

  uint32_t PageAddress() const { return pageAddress_; }
  // The dump list: 16 lines of 16 bytes, "%06X:" then " %02X" per byte.
  const std::vector<std::string>& Lines() const { return lines_; }
  const std::string& AddressText() const { return addressText_; }

  DialogMessages messages;

 private:
  void Refresh();
  void AddressChanged();

  PCI_System& system_;
  uint32_t pageAddress_ = 0;
  std::array<uint8_t, kPageSize> page_{};
  std::vector<std::string> lines_;
  std::string addressText_;
  bool addressFocused_ = false;
};
