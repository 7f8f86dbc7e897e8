#include "app/flash_viewer.h"

#include <cstdio>

#include "app/hex_text.h"
#include "cards/pci_card.h"
#include "pci/pci_system.h"

namespace {
constexpr const char* kFlashErrorCaption = "Flash error";
}

FlashViewer::FlashViewer(PCI_System& system) : system_(system) {}

void FlashViewer::Open() {
  pageAddress_ = 0;
  Refresh();
}

void FlashViewer::Previous() {
  if (addressFocused_) LeaveAddressField();
  pageAddress_ -= kPageSize;
  Refresh();
}

void FlashViewer::Next() {
  if (addressFocused_) LeaveAddressField();
  pageAddress_ += kPageSize;
  Refresh();
}

void FlashViewer::TypeAddress(const std::string& text) {
  addressFocused_ = true;
  addressText_ = text;
  AddressChanged();
}

void FlashViewer::LeaveAddressField() {
  addressFocused_ = false;
  AddressChanged();
}

void FlashViewer::AddressChanged() {
  const std::optional<uint32_t> address = ScanHex(std::string_view(addressText_).substr(0, kAddressTextLimit));
  if (!address || *address == pageAddress_) return;
  pageAddress_ = *address;
  Refresh();
}

void FlashViewer::Refresh() {
  PCI_Card* card = system_.card;
  if (card == nullptr) return;  // no function selected: nothing to read
  try {
    card->ReadFlash(pageAddress_, page_.data(), static_cast<int>(kPageSize));
  } catch (const char* text) {
    messages.Show(text, kFlashErrorCaption);
    return;
  }
  lines_.clear();
  for (uint32_t i = 0; i < 16; ++i) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X:", pageAddress_ + 16 * i);
    std::string line = text;
    for (uint32_t k = 0; k < 16; ++k) {
      std::snprintf(text, sizeof text, " %02X", page_[i * 16 + k]);
      line += text;
    }
    lines_.push_back(line);
  }
  if (!addressFocused_) {
    char text[16];
    std::snprintf(text, sizeof text, "%06X", pageAddress_);
    addressText_ = text;
  }
}
