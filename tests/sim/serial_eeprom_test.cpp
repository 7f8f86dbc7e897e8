#include "sim/serial_eeprom.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using sim::SerialEeprom;

// Drives the four pins directly: one rising clock edge per bit.
struct Pins {
  SerialEeprom& eeprom;
  uint64_t now = 0;
  bool cs = false;

  void select(bool level) {
    cs = level;
    eeprom.setPins(cs, false, false, now);
  }
  bool clock(bool dataIn) {
    eeprom.setPins(cs, false, dataIn, now);
    eeprom.setPins(cs, true, dataIn, now);
    return eeprom.dataOut(now);
  }
  void send(uint32_t bits, int count) {
    for (int i = count - 1; i >= 0; --i) clock((bits >> i) & 1);
  }
  // A frame from its start bit on, ended by dropping chip select.
  void command(uint32_t bits, int count) {
    select(true);
    send(bits, count);
    select(false);
  }
  uint16_t read(int address) {
    select(true);
    send(0x180u | static_cast<uint32_t>(address), 9);
    uint16_t word = 0;
    for (int i = 0; i < 16; ++i) word = static_cast<uint16_t>((word << 1) | clock(false));
    select(false);
    return word;
  }
};

constexpr uint32_t kEwen = 0x130, kEwds = 0x100;

SerialEeprom::Words Counting() {
  SerialEeprom::Words words{};
  for (int i = 0; i < SerialEeprom::kWords; ++i) words[i] = static_cast<uint16_t>(i * 0x0101);
  return words;
}

TEST(SerialEepromPins, ProgrammingCommandsNeedWriteEnable) {
  struct Case {
    const char* what;
    uint32_t frame;
    int bits;
    int word;          // the word that changes, -1 for all
    uint16_t value;
  };
  const Case cases[] = {
      {"WRITE 5", (0x145u << 16) | 0xBEEF, 25, 5, 0xBEEF},
      {"ERASE 5", 0x1C5, 9, 5, 0xFFFF},
      {"ERAL", 0x120, 9, -1, 0xFFFF},
      {"WRAL 0x1234", (0x110u << 16) | 0x1234, 25, -1, 0x1234},
  };
  for (const Case& c : cases) {
    for (bool enabled : {false, true}) {
      SerialEeprom eeprom(Counting());
      Pins pins{eeprom};
      if (enabled) pins.command(kEwen, 9);
      pins.command(c.frame, c.bits);
      SerialEeprom::Words wanted = Counting();
      if (enabled) {
        for (int i = 0; i < SerialEeprom::kWords; ++i) {
          if (c.word < 0 || c.word == i) wanted[i] = c.value;
        }
      }
      EXPECT_EQ(eeprom.words(), wanted) << c.what << (enabled ? " enabled" : " protected");
      pins.now += SerialEeprom::kDefaultProgramMicros;
      pins.command(kEwds, 9);
      EXPECT_FALSE(eeprom.writeEnabled());
    }
  }
}

TEST(SerialEepromPins, ReadStartsWithADummyZeroAndRunsOn) {
  SerialEeprom eeprom(Counting());
  Pins pins{eeprom};
  pins.select(true);
  pins.send(0x1B, 5);             // start, READ, two address bits of 63
  EXPECT_TRUE(pins.clock(true));  // address still going in: not driven
  for (int i = 0; i < 2; ++i) pins.clock(true);
  EXPECT_FALSE(pins.clock(true));  // with the last address bit: the dummy 0
  std::vector<uint16_t> words;
  for (int w = 0; w < 3; ++w) {
    uint16_t word = 0;
    for (int i = 0; i < 16; ++i) word = static_cast<uint16_t>((word << 1) | pins.clock(false));
    words.push_back(word);
  }
  EXPECT_EQ(words, (std::vector<uint16_t>{0x3F3F, 0x0000, 0x0101}));
}

TEST(SerialEepromPins, BusyPartShowsStatusAndIgnoresCommands) {
  for (bool neverReady : {false, true}) {
    SerialEeprom eeprom(Counting(), 3000);
    eeprom.faults.neverReady = neverReady;
    Pins pins{eeprom};
    pins.command(kEwen, 9);
    pins.now = 100;
    pins.command((0x141u << 16) | 0x4321, 25);  // programming starts as chip select falls
    pins.select(true);
    EXPECT_FALSE(eeprom.dataOut(pins.now));
    pins.now = 100 + 2999;
    EXPECT_TRUE(eeprom.busy(pins.now));
    EXPECT_EQ(pins.read(2), 0x0000);             // still the busy status, no read
    pins.now = 100 + 3000;
    pins.select(true);
    EXPECT_EQ(eeprom.dataOut(pins.now), !neverReady);
    pins.clock(false);                           // leading zeros keep the status up
    EXPECT_EQ(eeprom.dataOut(pins.now), !neverReady);
    EXPECT_EQ(pins.read(1), 0x4321);
    EXPECT_EQ(pins.read(2), 0x0202);
  }
}

TEST(SerialEepromPins, StuckCellsHoldWhatTheBoardLoads) {
  SerialEeprom eeprom(Counting());
  eeprom.faults.stuckAnd[3] = 0x00FF;
  eeprom.faults.stuckOr[3] = 0x8000;
  Pins pins{eeprom};
  EXPECT_EQ(pins.read(3), 0x8003);
  pins.command(kEwen, 9);
  pins.command((0x143u << 16) | 0x7F7F, 25);
  EXPECT_EQ(eeprom.words()[3], 0x807F);
}

}  // namespace
