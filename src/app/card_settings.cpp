#include "app/card_settings.h"

#include <cstdio>

#include "cards/eeprom_image.h"
#include "cards/pci_card.h"

namespace ei = eeprom_image;

namespace {

struct AdapterType {
  uint16_t code;
  const char* text;
};

// The dialog's own names; a few differ from those the EEPROM dialog offers.
constexpr AdapterType kAdapterTypes[] = {
    {0x0001, "BSD"},     {0x0002, "Linux"},      {0x0011, "AIX"},      {0x0022, "DEC Unix"},
    {0x0033, "HP-UX"},   {0x0055, "Windows NT"}, {0x0066, "SGI Irix"}, {0x0099, "Macintosh"},
    {0x00CC, "Solaris"}, {0x00EE, "Netware"},    {0x0100, "AS400"},
};

// Words 47 to 51, the first non-zero one naming the connection.
constexpr const char* kConnectionTexts[5] = {"Full Duplex 100", "Full Duplex 10", "100 BT", "10BT",
                                             "Auto Negotiation"};

// "%02x" of the high byte, then of the low byte, of three words.
std::string AddressText(PCI_Card& card, int firstWord) {
  char text[24];
  const uint16_t a = card.ReadEeprom(firstWord);
  const uint16_t b = card.ReadEeprom(firstWord + 1);
  const uint16_t c = card.ReadEeprom(firstWord + 2);
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", a >> 8, a & 0xFF, b >> 8, b & 0xFF, c >> 8,
                c & 0xFF);
  return text;
}

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

}  // namespace

CardSettings::CardSettings(PCI_Card& card) : card_(card) {}

const char* CardSettings::AdapterTypeText(uint16_t code) {
  for (const AdapterType& type : kAdapterTypes)
    if (type.code == code) return type.text;
  return "Unknown";
}

void CardSettings::Open() {
  if (card_.PortCount() > 1) {
    const int initial = card_.GetPort();
    port = choosePort ? choosePort(initial) : initial;
    card_.SetPort(port);
  }
  try {
    // Built in the order the words are read; shown only when all were read.
    const std::string type = AdapterTypeText(card_.ReadEeprom(ei::kNicTypeWord));
    const std::string mac = AddressText(card_, ei::kStationAddressWord);
    std::string virtualText = kNoVirtualAddress;
    if (card_.GetPort() != 0) virtualText = AddressText(card_, ei::kVirtualAddressWord);
    std::string connection;
    for (int i = 0; i < 5; ++i) {
      if (card_.ReadEeprom(ei::kFullDuplex100Word + i) != 0) {
        connection = kConnectionTexts[i];
        break;
      }
    }
    const std::string vendor = Hex4(card_.ReadEeprom(ei::kSubsystemVendorIdWord));
    const std::string board = Hex4(card_.ReadEeprom(ei::kBoardIdWord));
    const std::string subsystem = Hex4(card_.ReadEeprom(ei::kSubsystemIdWord));
    const uint16_t dateWord = card_.ReadEeprom(ei::kProgramDateWord);
    char date[32];
    std::snprintf(date, sizeof date, "%0d/%0d/%0d", (dateWord >> 5) & 0xF, dateWord & 0x1F, 1990 + (dateWord >> 9));

    adapterType = type;
    macAddress = mac;
    virtualAddress = virtualText;
    connectionType = connection;
    subVendorId = vendor;
    boardId = board;
    subsystemId = subsystem;
    programDate = date;
  } catch (const char* text) {
    messages.Show(text, "EEProm error");
  }
}

std::vector<CardSettings::Field> CardSettings::Fields() const {
  return {
      {"Adapter Type", adapterType, false},     {"MAC Address", macAddress, true},
      {"Virtual Address", virtualAddress, true}, {"Sub Vendor ID", subVendorId, true},
      {"Board ID", boardId, true},               {"Connection Type", connectionType, false},
      {"Program Date", programDate, false},      {"Subsystem ID", subsystemId, true},
  };
}
