#include "sim/eeprom_image.h"

#include "sim/ethernet_crc.h"

namespace sim {

namespace {

constexpr uint16_t kProgramDate = (2002 - 1990) << 9 | 6 << 5 | 14;  // 14 June 2002
constexpr uint16_t kNicTypeHpUx = 0x0033;

void SetByte(SerialEeprom::Words& w, int byte, uint8_t value) {
  uint16_t& word = w[byte / 2];
  word = byte % 2 ? static_cast<uint16_t>((word & 0x00FF) | value << 8)
                  : static_cast<uint16_t>((word & 0xFF00) | value);
}

void SetBytes16(SerialEeprom::Words& w, int byte, uint16_t value) {
  SetByte(w, byte, static_cast<uint8_t>(value));
  SetByte(w, byte + 1, static_cast<uint8_t>(value >> 8));
}

}  // namespace

SerialEeprom::Words FactoryEepromImage(BoardModel model, BoardVariant variant, const MacAddress& mac) {
  const bool fx = variant == BoardVariant::Fx;
  SerialEeprom::Words w{};
  w[0] = kOrvaneVendorId;
  w[1] = SubsystemId(model);

  // DEC serial-ROM area, bytes 18 to 50.
  SetByte(w, 18, 4);  // format version
  SetByte(w, 19, 1);  // controller count
  for (int i = 0; i < 6; ++i) SetByte(w, 20 + i, mac[i]);
  SetByte(w, 26, 0);                          // controller 0 device number
  SetBytes16(w, 27, 0x001E);                  // its info leaf at byte 30
  SetBytes16(w, 30, fx ? 0x0010 : 0x0800);    // selected connection type
  SetByte(w, 32, 1);                          // info block count
  SetByte(w, 33, 0x11);                       // block length
  SetByte(w, 34, 3);                          // block type: MII PHY
  SetByte(w, 35, 0);                          // PHY number
  SetByte(w, 36, 2);                          // general-purpose port sequence length
  SetBytes16(w, 37, 0x080E);
  SetBytes16(w, 39, 0x000E);
  SetByte(w, 41, 0);                          // reset sequence length
  SetBytes16(w, 42, fx ? 0x6000 : 0x7800);    // media capabilities
  SetBytes16(w, 44, fx ? 0x0180 : 0x01E0);    // N-way advertisement
  SetBytes16(w, 46, 0x5000);                  // full-duplex bit map
  SetBytes16(w, 48, fx ? 0x0000 : 0x1800);    // transmit threshold bit map
  SetByte(w, 50, 0);                          // MII connector interrupt

  // The maker's fields.
  for (int i = 0; i < 3; ++i) w[42 + i] = static_cast<uint16_t>(mac[2 * i] << 8 | mac[2 * i + 1]);
  w[45] = kProgramDate;
  w[46] = model == BoardModel::R51 ? 0x0006 : (fx ? 0x0406 : 0x0400);
  // Connection flags: auto-negotiation on TX, 100BASE-T full duplex on FX.
  const uint16_t flags[5] = {static_cast<uint16_t>(fx), 0, static_cast<uint16_t>(fx), 0,
                             static_cast<uint16_t>(!fx)};
  for (int i = 0; i < 5; ++i) w[47 + i] = flags[i];
  w[52] = kNicTypeHpUx;
  FixEepromChecksums(w);
  return w;
}

uint8_t EepromIdBlockCrc(const SerialEeprom::Words& words) {
  uint8_t c = 0xFF;
  auto shift = [&c](int bit) {
    const bool feedback = (bit ^ (c >> 7)) & 1;
    c = static_cast<uint8_t>(c << 1);
    if (feedback) c ^= 0x07;
  };
  for (int i = 0; i < 8; ++i) {
    for (int b = 15; b >= 0; --b) shift((words[i] >> b) & 1);
  }
  for (int b = 15; b >= 8; --b) shift((words[8] >> b) & 1);
  return c;
}

uint16_t EepromImageCrc(const SerialEeprom::Words& words) {
  uint8_t bytes[126];
  for (int i = 0; i < 63; ++i) {
    bytes[2 * i] = static_cast<uint8_t>(words[i]);
    bytes[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
  }
  return static_cast<uint16_t>(EthernetFcs(bytes, sizeof bytes));
}

void FixEepromChecksums(SerialEeprom::Words& words) {
  words[8] = static_cast<uint16_t>((words[8] & 0xFF00) | EepromIdBlockCrc(words));
  words[63] = EepromImageCrc(words);
}

}  // namespace sim
