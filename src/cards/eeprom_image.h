#pragma once
#include <concepts>
#include <cstdint>

#include "production/ethernet_address.h"

// The adapter's serial EEPROM image: 64 words of 16 bits. Words 0 to 25 follow
// the DEC serial ROM format (version 4), words 42 to 55 are Orvane's own fields,
// word 63 is the image checksum. In the byte view, byte 2w is the low byte and
// byte 2w+1 the high byte of word w.
namespace eeprom_image {

constexpr int kWordCount = 64;
constexpr int kByteCount = 2 * kWordCount;

// Word indices.
constexpr int kSubsystemVendorIdWord = 0;
constexpr int kSubsystemIdWord = 1;
constexpr int kCisPointerLowWord = 2;
constexpr int kCisPointerHighWord = 3;
constexpr int kMiscHwOptionsWord = 7;
constexpr int kIdBlockCrcWord = 8;  // low byte: ID block CRC; high byte: function 0 options
constexpr int kSromFormatWord = 9;  // low byte: format version; high byte: controller count
constexpr int kIeeeAddressWord = 10;  // words 10 to 12, transmission order
constexpr int kController0Word = 13;
constexpr int kConnectionTypeWord = 15;
constexpr int kInfoBlockWord = 16;
constexpr int kMediaCapabilitiesWord = 21;
constexpr int kNwayAdvertisementWord = 22;
constexpr int kFullDuplexMapWord = 23;
constexpr int kTxThresholdMapWord = 24;
constexpr int kMiiInterruptWord = 25;
constexpr int kStationAddressWord = 42;  // words 42 to 44, big-endian words
constexpr int kProgramDateWord = 45;
constexpr int kBoardIdWord = 46;
constexpr int kFullDuplex100Word = 47;
constexpr int kFullDuplex10Word = 48;
constexpr int k100BaseTWord = 49;
constexpr int k10BaseTWord = 50;
constexpr int kAutoNegotiateWord = 51;
constexpr int kNicTypeWord = 52;
constexpr int kVirtualAddressWord = 53;  // words 53 to 55, big-endian words
constexpr int kFirstUnusedWord = 56;
constexpr int kImageCrcWord = 63;

// Byte view. Byte indices outside 0..127 read as 0 and are not written.
uint8_t GetByte(const uint16_t* image, int index);
void SetByte(uint16_t* image, int index, uint8_t value);

// Three big-endian address words from firstWord on (42 station, 53 virtual):
// the first word holds address bytes 0 (high) and 1 (low).
void PutAddressWords(uint16_t* image, int firstWord, const EthernetAddress& address);
EthernetAddress GetAddressWords(const uint16_t* image, int firstWord);

// ---- Program date (word 45): bits 15..9 year - 1990, bits 8..5 month, 4..0 day ----
struct ProgramDate {
  int year;
  int month;
  int day;
};
ProgramDate DecodeProgramDate(uint16_t word);
// (year - 1990) * 512 | month * 32 | day in 16 bits, the parts not masked: a day
// above 31 or a month above 15 spills into the next field, and years outside
// 1990..2117 wrap. Any int arguments are safe.
uint16_t EncodeProgramDate(int year, int month, int day);
// Whether each part fits its field (year 1990..2117, month 0..15, day 0..31), so
// that the encoded word decodes to the same three values.
bool ProgramDateFits(int year, int month, int day);

// ---- NIC type (word 52): the host operating system, offered as "Adapter Type" ----
constexpr int kNicTypeCount = 12;
constexpr int kUnknownNicType = 11;  // "Unknown", written as 0x0000
const char* NicTypeName(int index);  // null outside 0..11
uint16_t NicTypeCode(int index);     // 0 for "Unknown" and for no/invalid selection
// List index of a code; any code not listed (0x0000 included) is "Unknown".
int NicTypeIndex(uint16_t code);

// ---- Connection type (flags in words 47 to 51) ----
constexpr int kConnectionTypeCount = 5;
constexpr int kAutoNegotiate = 0;
constexpr int k10BaseT = 1;
constexpr int k10BaseTFullDuplex = 2;
constexpr int k100BaseT = 3;
constexpr int k100BaseTFullDuplex = 4;
const char* ConnectionTypeName(int type);  // null outside 0..4
// Writes words 47 to 51 for the type; a type outside 0..4 (no selection) writes zeros.
void SetConnectionFlags(uint16_t* image, int type);
// Decodes from words 49, 47, 50 and 48, reading only those needed, in that order;
// word 51 takes no part. `readWord` is called with a word index and answers its value.
template <typename ReadWord>
  requires std::invocable<ReadWord&, int>
int DecodeConnectionType(ReadWord&& readWord) {
  if (readWord(k100BaseTWord) != 0) return readWord(kFullDuplex100Word) != 0 ? k100BaseTFullDuplex : k100BaseT;
  if (readWord(k10BaseTWord) == 0) return kAutoNegotiate;
  return readWord(kFullDuplex10Word) != 0 ? k10BaseTFullDuplex : k10BaseT;
}
int DecodeConnectionType(const uint16_t* image);

// ---- Model defaults (what BuildEepromImage of the models puts in) ----
enum class Model { R51, R83 };
// The DEC area, bytes 18 to 50: format 4, one controller, the address in
// transmission order, the info leaf of the TX or FX variant. Byte 51 is kept.
void FillDecArea(uint16_t* image, bool fiber, const EthernetAddress& address);
// Words 0, 1, 46, 47 to 52 and the DEC area of the model and variant; every other
// word and byte is kept.
void FillModelDefaults(uint16_t* image, Model model, bool fiber, const EthernetAddress& address);

// ---- Checksums ----
struct Checksums {
  uint8_t storedIdCrc;      // low byte of word 8
  uint8_t computedIdCrc;    // over words 0..7 and the high byte of word 8
  uint16_t storedImageCrc;  // word 63
  uint16_t computedImageCrc;  // over words 0..62 as stored
  bool IdCrcMatches() const { return storedIdCrc == computedIdCrc; }
  bool ImageCrcMatches() const { return storedImageCrc == computedImageCrc; }
};
// Recomputes both checksums without changing the image.
Checksums VerifyChecksums(const uint16_t* image);

}  // namespace eeprom_image
