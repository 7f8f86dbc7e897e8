#pragma once
#include <cstdint>

// Checksums of the adapter's 64-word serial EEPROM image and the CRC-32 register
// routine they share with the packet engine's multicast hashing.

// IEEE 802.3 CRC-32 in its bit-reflected form (polynomial 0xEDB88320), register
// preset to 0xFFFFFFFF, bits of each byte taken from bit 0 to bit 7, and no final
// inversion: the standard CRC-32 is the result XOR 0xFFFFFFFF. A count of 0 or
// less takes no bytes and answers 0xFFFFFFFF.
uint32_t crc32_register(const uint8_t* bytes, int count);

// CRC-8 (x^8 + x^2 + x + 1, preset 0xFF, most significant bit first, no final
// inversion) of the ID block: words 0 to 7 high byte first, then the high byte of
// word 8. The low byte of word 8, where the result is stored, takes no part.
uint8_t srom_id_block_crc(const uint16_t* image);

// Low 16 bits of the standard CRC-32 of words 0 to 62 laid out low byte first
// (126 bytes), exactly as they stand in the image: the value word 63 holds.
uint16_t srom_image_crc(const uint16_t* image);

// Stores the ID block CRC in the low byte of word 8 (its high byte is kept), then
// the image CRC over the updated words 0 to 62 in word 63. Answers the CRC
// register over those 126 bytes with its low 16 bits inverted.
uint32_t srom_fix_checksums(uint16_t* image);
