#pragma once
#include "sim/adapter_model.h"
#include "sim/serial_eeprom.h"

namespace sim {

// The contents of a board's serial EEPROM as it leaves the factory: the DEC
// serial-ROM area (format version 4, one controller, an MII info leaf with the
// general-purpose port sequence), the maker's fields (station address, program
// date, board ID, connection flags, NIC type) and both checksums.
SerialEeprom::Words FactoryEepromImage(BoardModel model, BoardVariant variant, const MacAddress& mac);

// The ID-block CRC-8 over words 0 to 7 and the high byte of word 8, high byte
// of each word first (polynomial x^8 + x^2 + x + 1, preset 0xFF).
uint8_t EepromIdBlockCrc(const SerialEeprom::Words& words);
// The low half of the CRC-32 of words 0 to 62 laid out low byte first.
uint16_t EepromImageCrc(const SerialEeprom::Words& words);
// Stores both: the CRC-8 in the low byte of word 8, then the image CRC in word 63.
void FixEepromChecksums(SerialEeprom::Words& words);

}  // namespace sim
