#pragma once
#include <array>
#include <string>

#include "pci/pci_records.h"

class PCI_Card;

// The card list: which scanned functions it shows and what each of its
// seventeen columns holds.
namespace card_list {

constexpr int kColumnCount = 17;

struct Column {
  const char* heading;
  int width;  // pixels in the list view
};

const std::array<Column, kColumnCount>& Columns();

// Listed when every function is shown, or it is one of the adapters' IDs.
bool IsListed(const PciDeviceInfo& device, bool showAll);

// A PCI-to-PCI bridge: base class 6, subclass 4.
bool IsPciToPciBridge(const PciDeviceInfo& device);

using Row = std::array<std::string, kColumnCount>;

// Fills a row for a function whose card is `card` (the card created for it).
Row MakeRow(const PciBusInfo& bus, const PciDeviceInfo& device, PCI_Card& card);

// Index of the "Bus" and "Slot" columns, the link from a row back to its function.
constexpr int kBusColumn = 1;
constexpr int kSlotColumn = 2;

}  // namespace card_list
