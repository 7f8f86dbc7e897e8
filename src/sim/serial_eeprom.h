#pragma once
#include <array>
#include <cstdint>

namespace sim {

// A 93C46-style serial EEPROM in 16-bit organisation: 64 words behind chip
// select, clock, data in and data out. Commands are a start bit, a 2-bit opcode
// and a 6-bit address, sampled on rising clock edges while chip select is high:
// READ 10 (a dummy 0, then the word, then the following words), WRITE 01 + 16
// data bits, ERASE 11, and with opcode 00 the address bits 11xxxx EWEN, 00xxxx
// EWDS, 10xxxx ERAL, 01xxxx WRAL + 16 data bits.
//
// Programming (WRITE, ERASE, ERAL, WRAL) starts when chip select falls after a
// complete frame, only while writes are enabled; the array takes the new value at
// once, and while chip select is high again data out shows busy (0) for the
// programming time, then ready (1), until the next start bit. Commands that start
// while the part is busy are ignored. An undriven data out reads 1 (pull-up).
//
// Time is the owner's: every pin change carries the current simulated time in
// microseconds. Power-off is the end of the object; a new one starts with writes
// disabled.
class SerialEeprom {
 public:
  static constexpr int kWords = 64;
  using Words = std::array<uint16_t, kWords>;
  static constexpr uint64_t kDefaultProgramMicros = 2000;

  struct Faults {
    Faults() {
      stuckAnd.fill(0xFFFF);
      stuckOr.fill(0);
    }
    // Cells stuck at 0 (clear in stuckAnd) or at 1 (set in stuckOr), per word:
    // applied to every value stored and every value read.
    Words stuckAnd;
    Words stuckOr;
    bool ignoreWrites = false;    // programming never changes the array
    bool noWriteProtect = false;  // programming works without EWEN
    bool neverReady = false;      // data out stays busy after programming
  };

  explicit SerialEeprom(const Words& contents = Words{}, uint64_t programMicros = kDefaultProgramMicros);

  // Pin level: the levels of chip select, clock and data in from now on.
  void setPins(bool chipSelect, bool clock, bool dataIn, uint64_t nowMicros);
  bool dataOut(uint64_t nowMicros) const;

  // The array as stored, for the board to load and persist.
  const Words& words() const { return words_; }
  void setWords(const Words& words) { words_ = words; }

  bool writeEnabled() const { return writeEnabled_; }
  bool busy(uint64_t nowMicros) const { return nowMicros < programEnd_; }

  Faults faults;

 private:
  enum class State { Idle, Command, Data, Reading, Complete };
  enum class Program { None, Write, Erase, EraseAll, WriteAll };

  void risingEdge(bool dataIn, uint64_t nowMicros);
  void decodeCommand();
  void startProgramming(uint64_t nowMicros);
  uint16_t cell(int address) const;
  void store(int address, uint16_t value);

  Words words_;
  uint64_t programMicros_;
  bool chipSelect_ = false;
  bool clock_ = false;
  State state_ = State::Idle;
  Program pending_ = Program::None;
  uint32_t shift_ = 0;
  int count_ = 0;
  int address_ = 0;
  uint16_t data_ = 0;
  uint16_t readWord_ = 0;
  int readBit_ = 0;
  bool out_ = true;
  bool writeEnabled_ = false;
  bool statusShown_ = false;
  uint64_t programEnd_ = 0;
};

}  // namespace sim
