#include "cards/eeprom_image.h"

#include "hw/srom_crc.h"

namespace eeprom_image {

namespace {

struct NicTypeEntry {
  const char* name;
  uint16_t code;
};

constexpr NicTypeEntry kNicTypes[kNicTypeCount] = {
    {"BSD", 0x0001},        {"Linux", 0x0002},    {"AIX", 0x0011},     {"DEC Unix", 0x0022},
    {"HP-UX", 0x0033},      {"Windows NT", 0x0055}, {"SGI Irix", 0x0066}, {"Mac", 0x0099},
    {"Solaris", 0x00CC},    {"NetWare", 0x00EE},  {"AS400", 0x0100},   {"Unknown", 0x0000},
};

constexpr const char* kConnectionTypeNames[kConnectionTypeCount] = {
    "Auto Negotiate", "10Base-T", "10Base-T Full Duplex", "100Base-T", "100Base-T Full Duplex",
};

// Words 47 to 51 (100 full duplex, 10 full duplex, 100BASE-T, 10BASE-T, auto-negotiate).
constexpr uint16_t kConnectionFlags[kConnectionTypeCount][5] = {
    {0, 0, 0, 0, 1}, {0, 0, 0, 1, 0}, {0, 1, 0, 1, 0}, {0, 0, 1, 0, 0}, {1, 0, 1, 0, 0},
};

constexpr int kFirstYear = 1990;
constexpr int kLastYear = kFirstYear + 127;

// DEC area from byte 26 (after the format, count and address bytes) to byte 50.
constexpr int kLeafFirstByte = 26;
constexpr int kLeafByteCount = 25;
// clang-format off
constexpr uint8_t kTxLeaf[kLeafByteCount] = {
    0x00,              // controller 0 device number
    0x1E, 0x00,        // info leaf offset: byte 30
    0x00,              // reserved
    0x00, 0x08,        // selected connection type 0x0800
    0x01, 0x11,        // one info block of 17 bytes
    0x03, 0x00,        // block type 3, PHY 0
    0x02, 0x0E, 0x08, 0x0E, 0x00,  // general-purpose sequence 0x080E, 0x000E
    0x00,              // no reset sequence
    0x00, 0x78,        // media capabilities 0x7800
    0xE0, 0x01,        // N-way advertisement 0x01E0
    0x00, 0x50,        // full-duplex bit map 0x5000
    0x00, 0x18,        // transmit threshold bit map 0x1800
    0x00,              // MII connector interrupt
};
constexpr uint8_t kFxLeaf[kLeafByteCount] = {
    0x00,
    0x1E, 0x00,
    0x00,
    0x10, 0x00,        // selected connection type 0x0010
    0x01, 0x11,
    0x03, 0x00,
    0x02, 0x0E, 0x08, 0x0E, 0x00,
    0x00,
    0x00, 0x60,        // media capabilities 0x6000
    0x80, 0x01,        // N-way advertisement 0x0180
    0x00, 0x50,
    0x00, 0x00,        // transmit threshold bit map 0x0000
    0x00,
};
// clang-format on

struct ModelWords {
  uint16_t subsystemVendorId;
  uint16_t subsystemId;
  uint16_t boardId;
};

ModelWords WordsOf(Model model, bool fiber) {
  if (model == Model::R51) return {0x13D8, 0x0102, 0x0006};
  return fiber ? ModelWords{0x13D8, 0x0432, 0x0406} : ModelWords{0x13D8, 0x0430, 0x0400};
}

constexpr uint16_t kModelNicType = 0x0033;

}  // namespace

uint8_t GetByte(const uint16_t* image, int index) {
  if (index < 0 || index >= kByteCount) return 0;
  uint16_t word = image[index / 2];
  return static_cast<uint8_t>((index & 1) ? word >> 8 : word);
}

void SetByte(uint16_t* image, int index, uint8_t value) {
  if (index < 0 || index >= kByteCount) return;
  uint16_t& word = image[index / 2];
  if (index & 1)
    word = static_cast<uint16_t>((word & 0x00FFu) | (value << 8));
  else
    word = static_cast<uint16_t>((word & 0xFF00u) | value);
}

void PutAddressWords(uint16_t* image, int firstWord, const EthernetAddress& address) {
  for (int i = 0; i < 3; ++i) image[firstWord + i] = address.GetWord(i);
}

EthernetAddress GetAddressWords(const uint16_t* image, int firstWord) {
  EthernetAddress address;
  for (int i = 0; i < 3; ++i) address.SetWord(i, image[firstWord + i]);
  return address;
}

ProgramDate DecodeProgramDate(uint16_t word) {
  return {word / 512 + kFirstYear, (word >> 5) & 0xF, word & 0x1F};
}

uint16_t EncodeProgramDate(int year, int month, int day) {
  // Unsigned arithmetic keeps exactly the low 16 bits a 16-bit computation gives,
  // without overflow for any typed value.
  uint32_t word = ((static_cast<uint32_t>(year) - static_cast<uint32_t>(kFirstYear)) * 512u) |
                  (static_cast<uint32_t>(month) * 32u) | static_cast<uint32_t>(day);
  return static_cast<uint16_t>(word);
}

bool ProgramDateFits(int year, int month, int day) {
  return year >= kFirstYear && year <= kLastYear && month >= 0 && month <= 15 && day >= 0 && day <= 31;
}

const char* NicTypeName(int index) {
  return index >= 0 && index < kNicTypeCount ? kNicTypes[index].name : nullptr;
}

uint16_t NicTypeCode(int index) {
  return index >= 0 && index < kNicTypeCount ? kNicTypes[index].code : 0;
}

int NicTypeIndex(uint16_t code) {
  for (int i = 0; i < kUnknownNicType; ++i)
    if (kNicTypes[i].code == code) return i;
  return kUnknownNicType;
}

const char* ConnectionTypeName(int type) {
  return type >= 0 && type < kConnectionTypeCount ? kConnectionTypeNames[type] : nullptr;
}

void SetConnectionFlags(uint16_t* image, int type) {
  bool valid = type >= 0 && type < kConnectionTypeCount;
  for (int i = 0; i < 5; ++i) image[kFullDuplex100Word + i] = valid ? kConnectionFlags[type][i] : 0;
}

int DecodeConnectionType(const uint16_t* image) {
  return DecodeConnectionType([image](int word) { return image[word]; });
}

void FillDecArea(uint16_t* image, bool fiber, const EthernetAddress& address) {
  SetByte(image, 18, 4);  // SROM format version
  SetByte(image, 19, 1);  // controller count
  for (int i = 0; i < 6; ++i) SetByte(image, 20 + i, address.GetByte(i));
  const uint8_t* leaf = fiber ? kFxLeaf : kTxLeaf;
  for (int i = 0; i < kLeafByteCount; ++i) SetByte(image, kLeafFirstByte + i, leaf[i]);
}

void FillModelDefaults(uint16_t* image, Model model, bool fiber, const EthernetAddress& address) {
  ModelWords words = WordsOf(model, fiber);
  image[kSubsystemVendorIdWord] = words.subsystemVendorId;
  image[kSubsystemIdWord] = words.subsystemId;
  image[kBoardIdWord] = words.boardId;
  SetConnectionFlags(image, fiber ? k100BaseTFullDuplex : kAutoNegotiate);
  image[kNicTypeWord] = kModelNicType;
  FillDecArea(image, fiber, address);
}

Checksums VerifyChecksums(const uint16_t* image) {
  return {static_cast<uint8_t>(image[kIdBlockCrcWord]), srom_id_block_crc(image), image[kImageCrcWord],
          srom_image_crc(image)};
}

}  // namespace eeprom_image
