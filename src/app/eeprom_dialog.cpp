#include "app/eeprom_dialog.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "app/hex_text.h"
#include "cards/eeprom_image.h"
#include "cards/pci_card.h"
#include "hw/srom_crc.h"

namespace ei = eeprom_image;

namespace {

constexpr const char* kProgrammingCaption = "EEPROM Programming";
constexpr const char* kEepromErrorCaption = "EEProm error";
// The application title, on boxes the dialog framework shows itself.
constexpr const char* kApplicationTitle = "PCI Diagnostics";

constexpr const char* kEthernetAddressMessage = "Ethernet MAC address must be of the form XX:XX:XX:XX:XX:XX.";
constexpr const char* kVirtualAddressMessage = "Virtual MAC address must be of the form XX:XX:XX:XX:XX:XX.";
constexpr const char* kIntegerMessage = "Please enter an integer.";
// A date whose parts do not fit their fields would spill into the next field
// and program a different date than the one typed.
constexpr const char* kDateMessage =
    "Program date must have a month of 0 to 15, a day of 0 to 31 and a year of 1990 to 2117.";

// The ID edits are read at most this far, as the original buffer did.
constexpr size_t kIdTextLimit = 18;

struct Label {
  int word;
  const char* text;
};

constexpr Label kLabels[] = {
    {0, "Vendor ID"},
    {1, "Subsystem ID"},
    {2, "CIS Low"},
    {3, "CIS High"},
    {8, "ID Block CRC"},
    {9, "Controller count + ROM format version"},
    {10, "IEEE Nework Address part 0"},
    {11, "IEEE Nework Address part 1"},
    {13, "IEEE Nework Address part 2 + Num Controllers"},
    {28, "Copyright"},
    {42, "Ether Address Word 0"},
    {43, "Ether Address Word 1"},
    {44, "Ether Address Word 2"},
    {45, "Program Date"},
    {46, "Board ID"},
    {47, "Full Duplex 100"},
    {48, "Full Duplex 10"},
    {49, "100 Base T"},
    {50, "10 Base T"},
    {51, "Auto Negotiation"},
    {52, "NIC Type"},
    {53, "Virtual Address Word 0"},
    {54, "Virtual Address Word 1"},
    {55, "Virtual Address Word 2"},
    {56, "First Unused"},
    {63, "CRC"},
};

std::string Hex4(uint16_t value) {
  char text[8];
  std::snprintf(text, sizeof text, "%04x", value);
  return text;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// An integer edit as the dialog framework reads it: blanks, an optional sign,
// at least one digit, blanks, nothing else, within the int range.
bool ReadIntegerEdit(const std::string& text, int* out) {
  size_t pos = 0;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  const size_t start = pos;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) ++pos;
  const size_t digits = pos;
  while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') ++pos;
  if (pos == digits) return false;
  const size_t end = pos;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos != text.size()) return false;
  errno = 0;
  const long value = std::strtol(text.substr(start, end - start).c_str(), nullptr, 10);
  if (errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
  *out = static_cast<int>(value);
  return true;
}

}  // namespace

EEPROMDialog::EEPROMDialog(PCI_Card& card) : card_(card) {
  for (int w = 0; w < ei::kWordCount; ++w) {
    char text[8];
    std::snprintf(text, sizeof text, "%02x", w);
    rows_[static_cast<size_t>(w)].offset = text;
  }
}

const char* EEPROMDialog::WordLabel(int word) {
  for (const Label& label : kLabels)
    if (label.word == word) return label.text;
  return "";
}

void EEPROMDialog::Initialise() {
  virtualAddressEnabled_ = card_.GetPort() != 0;
  if (card_.PortCount() > 1) {
    port = choosePort ? choosePort(port) : port;
    card_.SetPort(port);
  }
  try {
    // Address and date reach their edits only at the end; the ID edits and the
    // lists are filled as they are read.
    const std::string address = card_.MacAddress().Format();
    std::string virtualAddress;
    if (card_.GetPort() != 0) virtualAddress = card_.VirtualMacAddress().Format();
    const ei::ProgramDate date = ei::DecodeProgramDate(card_.ReadEeprom(ei::kProgramDateWord));
    subsystemVendorIdText = Hex4(card_.ReadEeprom(ei::kSubsystemVendorIdWord));
    subsystemIdText = Hex4(card_.ReadEeprom(ei::kSubsystemIdWord));
    boardIdText = Hex4(card_.ReadEeprom(ei::kBoardIdWord));
    adapterType = ei::NicTypeIndex(card_.ReadEeprom(ei::kNicTypeWord));
    connectionType = ei::DecodeConnectionType([this](int word) { return card_.ReadEeprom(word); });

    ethernetAddressText = address;
    virtualAddressText = virtualAddress;
    year = date.year;
    month = date.month;
    day = date.day;
    monthText = std::to_string(month);
    dayText = std::to_string(day);
    yearText = std::to_string(year);
  } catch (const char* text) {
    messages.Show(text, kEepromErrorCaption);
  }
}

void EEPROMDialog::Advanced() {
  expanded_ = true;
  for (int w = 0; w < ei::kWordCount; ++w) {
    uint16_t value = 0;
    try {
      value = card_.ReadEeprom(w);
    } catch (const char* text) {
      messages.Show(text, kEepromErrorCaption);
      return;
    }
    char text[8];
    std::snprintf(text, sizeof text, "0x%04x", value);
    rows_[static_cast<size_t>(w)].value = text;
  }
  for (int w = 0; w < ei::kWordCount; ++w) rows_[static_cast<size_t>(w)].name = WordLabel(w);
}

bool EEPROMDialog::TransferDate() {
  int m = 0;
  int d = 0;
  int y = 0;
  if (!ReadIntegerEdit(monthText, &m) || !ReadIntegerEdit(dayText, &d) || !ReadIntegerEdit(yearText, &y)) {
    messages.Show(kIntegerMessage, kApplicationTitle);
    return false;
  }
  month = m;
  day = d;
  year = y;
  return true;
}

std::optional<EepromWords> EEPROMDialog::ComposeImage() {
  if (!TransferDate()) return std::nullopt;
  EepromWords image{};

  EthernetAddress address;
  if (!address.Parse(ethernetAddressText)) {
    messages.Show(kEthernetAddressMessage, kProgrammingCaption);
    return std::nullopt;
  }
  ei::PutAddressWords(image.data(), ei::kStationAddressWord, address);

  if (card_.GetPort() != 0) {
    EthernetAddress virtualAddress;
    if (!virtualAddress.Parse(virtualAddressText)) {
      messages.Show(kVirtualAddressMessage, kProgrammingCaption);
      return std::nullopt;
    }
    ei::PutAddressWords(image.data(), ei::kVirtualAddressWord, virtualAddress);
  }

  if (!ei::ProgramDateFits(year, month, day)) {
    messages.Show(kDateMessage, kProgrammingCaption);
    return std::nullopt;
  }
  image[ei::kProgramDateWord] = ei::EncodeProgramDate(year, month, day);

  // An ID that does not read as hexadecimal has no value to program; it is
  // refused rather than written as whatever the conversion left behind.
  const struct {
    const std::string& text;
    int word;
    const char* label;
  } ids[] = {{subsystemVendorIdText, ei::kSubsystemVendorIdWord, "Subsystem Vendor ID"},
             {subsystemIdText, ei::kSubsystemIdWord, "Subsystem ID"},
             {boardIdText, ei::kBoardIdWord, "Board ID"}};
  for (const auto& id : ids) {
    const std::optional<uint32_t> value = ScanHex(std::string_view(id.text).substr(0, kIdTextLimit));
    if (!value) {
      messages.Show(std::string(id.label) + " must be a hexadecimal number.", kProgrammingCaption);
      return std::nullopt;
    }
    image[static_cast<size_t>(id.word)] = static_cast<uint16_t>(*value);
  }

  try {
    card_.BuildEepromImage(image.data(), address);
  } catch (const char* text) {
    messages.Show(text, kEepromErrorCaption);
    return std::nullopt;
  }
  image[ei::kNicTypeWord] = ei::NicTypeCode(adapterType);
  ei::SetConnectionFlags(image.data(), connectionType);
  srom_fix_checksums(image.data());
  return image;
}

bool EEPROMDialog::WriteImage(const EepromWords& image) {
  try {
    card_.EnableEepromWrite(true);
    for (int w = 0; w < ei::kWordCount; ++w) card_.WriteEeprom(w, image[static_cast<size_t>(w)]);
    card_.EnableEepromWrite(false);
  } catch (const char* text) {
    messages.Show(text, kEepromErrorCaption);
    // Do not leave a half-written EEPROM open to stray writes.
    try {
      card_.EnableEepromWrite(false);
    } catch (const char*) {
    }
    return false;
  }
  return true;
}

bool EEPROMDialog::Ok() {
  const std::optional<EepromWords> image = ComposeImage();
  if (!image || !WriteImage(*image)) return false;
  closedWithOk_ = true;
  return true;
}
