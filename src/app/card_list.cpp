#include "app/card_list.h"

#include <cstdio>

#include "cards/pci_card.h"

namespace card_list {
namespace {
std::string Printf(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
}  // namespace

const std::array<Column, kColumnCount>& Columns() {
  static const std::array<Column, kColumnCount> columns = {{
      {"Name", 55},
      {"Bus", 35},
      {"Slot", 35},
      {"BW", 35},
      {"Type", 40},
      {"Rev", 40},
      {"Phy ID", 60},
      {"Vendor ID", 60},
      {"Device ID", 60},
      {"Sub Vendor ID", 60},
      {"Sub System ID", 60},
      {"Base Class", 60},
      {"Sub Class", 60},
      {"Pri Bus", 60},
      {"Sec Bus", 60},
      {"Sub Bus", 60},
      {"Ports", 40},
  }};
  return columns;
}

bool IsListed(const PciDeviceInfo& device, bool showAll) {
  return showAll || (device.vendorId == 0x1011 && device.deviceId == 0x0019) || device.vendorId == 0x13D8 ||
         (device.vendorId == 0x1011 && device.deviceId == 0x0046);
}

bool IsPciToPciBridge(const PciDeviceInfo& device) { return device.baseClass == 6 && device.subClass == 4; }

Row MakeRow(const PciBusInfo& bus, const PciDeviceInfo& device, PCI_Card& card) {
  Row row;
  row[0] = card.Name();
  row[1] = Printf("%02d", bus.busNumber);
  row[2] = Printf("%02d", device.deviceNumber);
  // Is64BitSlot is asked only of a card that can use a 64-bit bus.
  row[3] = (card.Is64BitCapable() && card.Is64BitSlot()) ? "64" : "32";
  row[4] = card.IsFiber() ? "FX" : "TX";
  row[5] = Printf("%02x", device.revisionId);
  // Column 6 ("Phy ID") stays empty.
  row[7] = Printf("%04x", device.vendorId);
  row[8] = Printf("%04x", device.deviceId);
  row[9] = Printf("%04x", card.SubsystemVendorId() & 0xFFFFu);
  row[10] = Printf("%04x", card.SubsystemId() & 0xFFFFu);
  row[11] = Printf("%04x", device.baseClass);
  row[12] = Printf("%04x", device.subClass);
  if (IsPciToPciBridge(device)) {
    row[13] = Printf("%04x", device.busNumber);
    row[14] = Printf("%04x", device.secondaryBus);
    row[15] = Printf("%04x", device.subordinateBus);
  }
  row[16] = std::to_string(card.PortCount());
  return row;
}

}  // namespace card_list
