#include "sim/serial_eeprom.h"

namespace sim {

SerialEeprom::SerialEeprom(const Words& contents, uint64_t programMicros)
    : words_(contents), programMicros_(programMicros) {}

void SerialEeprom::setPins(bool chipSelect, bool clock, bool dataIn, uint64_t nowMicros) {
  if (!chipSelect) {
    // Chip select low ends any command; a complete programming frame starts its cycle.
    if (chipSelect_ && state_ == State::Complete && pending_ != Program::None) startProgramming(nowMicros);
    state_ = State::Idle;
    pending_ = Program::None;
    chipSelect_ = false;
    clock_ = clock;
    return;
  }
  if (!chipSelect_) {
    chipSelect_ = true;
    state_ = State::Idle;
  }
  if (clock && !clock_) risingEdge(dataIn, nowMicros);
  clock_ = clock;
}

bool SerialEeprom::dataOut(uint64_t nowMicros) const {
  if (!chipSelect_) return true;
  if (state_ == State::Reading) return out_;
  if (state_ == State::Idle && statusShown_) return !faults.neverReady && !busy(nowMicros);
  return true;
}

void SerialEeprom::risingEdge(bool dataIn, uint64_t nowMicros) {
  switch (state_) {
    case State::Idle:
      // Leading zeros are ignored; a start bit is ignored while programming runs.
      if (dataIn && !busy(nowMicros)) {
        state_ = State::Command;
        shift_ = 0;
        count_ = 0;
        statusShown_ = false;
      }
      break;
    case State::Command:
      shift_ = (shift_ << 1) | (dataIn ? 1u : 0u);
      if (++count_ == 8) decodeCommand();
      break;
    case State::Data:
      shift_ = (shift_ << 1) | (dataIn ? 1u : 0u);
      if (++count_ == 16) {
        data_ = static_cast<uint16_t>(shift_);
        state_ = State::Complete;
      }
      break;
    case State::Reading:
      // Past the last bit of a word the next word follows without a dummy bit.
      if (readBit_ == 0) {
        address_ = (address_ + 1) % kWords;
        readWord_ = cell(address_);
        readBit_ = 16;
      }
      --readBit_;
      out_ = ((readWord_ >> readBit_) & 1) != 0;
      break;
    case State::Complete:
      break;
  }
}

void SerialEeprom::decodeCommand() {
  uint32_t opcode = (shift_ >> 6) & 3;
  address_ = static_cast<int>(shift_ & 0x3F);
  state_ = State::Complete;
  switch (opcode) {
    case 2:  // READ: the dummy 0 comes with the last address bit
      readWord_ = cell(address_);
      readBit_ = 16;
      out_ = false;
      state_ = State::Reading;
      break;
    case 1:
      pending_ = Program::Write;
      break;
    case 3:
      pending_ = Program::Erase;
      break;
    default:
      switch (address_ >> 4) {
        case 3:
          writeEnabled_ = true;
          break;
        case 0:
          writeEnabled_ = false;
          break;
        case 2:
          pending_ = Program::EraseAll;
          break;
        default:
          pending_ = Program::WriteAll;
          break;
      }
      break;
  }
  if (pending_ == Program::Write || pending_ == Program::WriteAll) {
    state_ = State::Data;
    shift_ = 0;
    count_ = 0;
  }
}

void SerialEeprom::startProgramming(uint64_t nowMicros) {
  // A protected part does not start a cycle at all: data out stays ready.
  if (!writeEnabled_ && !faults.noWriteProtect) return;
  if (!faults.ignoreWrites) {
    switch (pending_) {
      case Program::Write:
        store(address_, data_);
        break;
      case Program::Erase:
        store(address_, 0xFFFF);
        break;
      case Program::EraseAll:
        for (int i = 0; i < kWords; ++i) store(i, 0xFFFF);
        break;
      case Program::WriteAll:
        for (int i = 0; i < kWords; ++i) store(i, data_);
        break;
      case Program::None:
        break;
    }
  }
  programEnd_ = nowMicros + programMicros_;
  statusShown_ = true;
}

uint16_t SerialEeprom::cell(int address) const {
  return static_cast<uint16_t>((words_[address] & faults.stuckAnd[address]) | faults.stuckOr[address]);
}

void SerialEeprom::store(int address, uint16_t value) {
  words_[address] = static_cast<uint16_t>((value & faults.stuckAnd[address]) | faults.stuckOr[address]);
}

}  // namespace sim
