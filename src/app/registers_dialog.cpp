#include "app/registers_dialog.h"

#include <cstdio>

#include "app/hex_text.h"
#include "cards/pci_card.h"

namespace {
std::string FormatValue(uint32_t value, int width) {
  char text[16];
  if (width == 8)
    std::snprintf(text, sizeof text, "%02X", value);
  else if (width == 16)
    std::snprintf(text, sizeof text, "%04X", value);
  else
    std::snprintf(text, sizeof text, "%08X", value);
  return text;
}
}  // namespace

RegistersDialog::RegistersDialog(PCI_Card& card) : card_(card) {}

void RegistersDialog::Start() {
  setNames_.clear();
  if (const RegisterSet* sets = card_.RegisterSets())
    for (int s = 0; sets[s].name != nullptr; ++s) setNames_.emplace_back(sets[s].name);
  selectedSet_ = setNames_.empty() ? -1 : 0;
  FillList();
}

void RegistersDialog::SelectSet(int index) {
  if (index < 0 || static_cast<size_t>(index) >= setNames_.size()) return;
  selectedSet_ = index;
  FillList();
}

void RegistersDialog::FillList() {
  rows_.clear();
  selectedRow = -1;
  if (selectedSet_ < 0) return;
  const RegisterSet& set = card_.RegisterSets()[selectedSet_];
  for (int i = 0; i < set.count; ++i) {
    const char* name = set.names ? set.names[i] : nullptr;
    if (name == nullptr) continue;
    Row row;
    row.name = name;
    row.offset = static_cast<uint32_t>(i * set.stride);
    char text[16];
    std::snprintf(text, sizeof text, "%02X", row.offset);
    row.address = text;
    rows_.push_back(row);
  }
  Refresh();
}

void RegistersDialog::Refresh() {
  if (selectedSet_ < 0) return;
  const int width = card_.RegisterSets()[selectedSet_].width;
  for (Row& row : rows_) row.value = FormatValue(card_.ReadRegister(selectedSet_, row.offset), width);
}

void RegistersDialog::Set() {
  if (selectedRow < 0 || static_cast<size_t>(selectedRow) >= rows_.size()) return;
  const std::string text = valueText.substr(0, kValueTextLimit);
  if (text.empty()) return;
  const std::optional<uint32_t> value = ScanHex(text);
  if (!value) {
    // No defined value to write: nothing reaches the card.
    messages.Show(kNotHexMessage, kTitle);
    return;
  }
  card_.WriteRegister(selectedSet_, rows_[static_cast<size_t>(selectedRow)].offset, *value);
  valueText.clear();
  Refresh();
}
