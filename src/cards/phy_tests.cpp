// PHY identification and the register tests of the Level1 LXT970 and LXT971.
#include <cstdio>

#include "cards/dec21143_card.h"
#include "hw/adapter.h"
#include "hw/r83drv.h"

namespace {

constexpr int kLxt970Registers = 21;  // 0 to 20
constexpr int kLxt971Registers = 20;  // 0 to 19
constexpr size_t kMessageSize = 64;

// One register: the value mask and expected value of the twisted-pair (TX)
// and of the fibre (FX) variant, and the bits that must be read-only.
struct PhyRegisterRow {
  uint16_t txMask, txExpected, fxMask, fxExpected, readOnly;
};

struct PhyTables {
  const PhyRegisterRow* rows;  // by register number from 0
  int count;
  const char* wrongValueFormat;  // register, value read
  const char* readOnlyFormat;    // register, bits that changed
};

// LXT970. TX: auto-negotiation on, no loopback, power-down, isolate or
// collision test, all four 10/100 abilities with selector 1. FX: forced to
// 100 Mb/s half duplex without auto-negotiation, advertising only the selector,
// configuration bits 8 and 2 set. Both report the abilities in the status.
const PhyRegisterRow kLxt970Rows[kLxt970Registers] = {
    {0x5C80, 0x1000, 0x7D80, 0x2000, 0},       // 0 control
    {0x7848, 0x7808, 0x7848, 0x7808, 0xFFFF},  // 1 status
    {0, 0x7810, 0, 0x7810, 0xFFFF},            // 2 PHY identification 1
    {0, 0, 0, 0, 0xFFFF},                      // 3 PHY identification 2
    {0x03FF, 0x01E1, 0x03FF, 0x0001, 0},       // 4 advertisement
    {0, 0, 0, 0, 0xFFFF},                      // 5 link partner ability
    {0, 0, 0, 0, 0xFFFF},                      // 6 expansion
    {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0},  // 7 to 11
    {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0},                   // 12 to 15
    {0, 0, 0, 0, 0},                           // 16 mirror
    {0, 0, 0, 0, 0},                           // 17 interrupt enable
    {0, 0, 0, 0, 0xFFFF},                      // 18 interrupt status
    {0x6FFD, 0x0000, 0x6FFD, 0x0104, 0},       // 19 configuration
    {0, 0, 0, 0, 0xFFFF},                      // 20 chip status
};

// LXT971: the variant is asked, but one set of expectations (those of twisted
// pair) serves both.
const PhyRegisterRow kLxt971Rows[kLxt971Registers] = {
    {0x5C80, 0x1000, 0x5C80, 0x1000, 0},       // 0 control
    {0xFE80, 0x7800, 0xFE80, 0x7800, 0xFFFF},  // 1 status
    {0, 0x0013, 0, 0x0013, 0xFFFF},            // 2 PHY identification 1
    {0, 0, 0, 0, 0xFFFF},                      // 3 PHY identification 2
    {0x03FF, 0x01E1, 0x03FF, 0x01E1, 0},       // 4 advertisement
    {0, 0, 0, 0, 0xFFFF},                      // 5 link partner ability
    {0, 0, 0, 0, 0xFFFF},                      // 6 expansion
    {0, 0, 0, 0, 0},                           // 7
    {0, 0, 0, 0, 0xFFFF},                      // 8
    {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0},  // 9 to 12
    {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0},                   // 13 to 15
    {0x77C0, 0x0080, 0x77C0, 0x0080, 0},       // 16 port configuration
    {0, 0, 0, 0, 0xFFFF},                      // 17 status 2
    {0, 0, 0, 0, 0},                           // 18 interrupt enable
    {0, 0, 0, 0, 0xFFFF},                      // 19 interrupt status
};

const PhyTables kLxt970Tables = {kLxt970Rows, kLxt970Registers, "LXT970 register %02x has wrong value %04x",
                                 "LXT970 register %02x bits %04x should be read-only"};
const PhyTables kLxt971Tables = {kLxt971Rows, kLxt971Registers, "LXT971 register %d has wrong value %04x",
                                 "LXT971 register %d bits %04x should be read-only"};

// Compares every register under its mask, then checks that the read-only bits
// do not take an inverted write. A register that passes keeps what was written.
const char* CheckPhyRegisters(DEC21143_Card& card, const PhyTables& t, char* message) {
  for (int r = 0; r < t.count; ++r) {
    const PhyRegisterRow& row = t.rows[r];
    const bool fiber = card.IsFiber();
    const uint16_t mask = fiber ? row.fxMask : row.txMask;
    const uint16_t expected = fiber ? row.fxExpected : row.txExpected;
    const uint16_t v = card.ReadPhyRegister(r);
    if ((v & mask) != (expected & mask)) {
      std::snprintf(message, kMessageSize, t.wrongValueFormat, r, static_cast<unsigned>(v));
      return message;
    }
    if (row.readOnly != 0) {
      card.WritePhyRegister(r, static_cast<uint16_t>(v ^ row.readOnly));
      const uint16_t w = card.ReadPhyRegister(r);
      if ((w & mask) != (v & mask)) {
        card.WritePhyRegister(r, v);
        std::snprintf(message, kMessageSize, t.readOnlyFormat, r, static_cast<unsigned>(w ^ v));
        return message;
      }
    }
  }
  return nullptr;
}

}  // namespace

uint32_t DEC21143_Card::PhyId() {
  if (!phyIdentified) {
    const uint32_t id = static_cast<uint32_t>(ReadPhyRegister(2)) << 16 | ReadPhyRegister(3);
    adapter->phykind = id & ~0xFu;  // without the revision
    phyIdentified = true;
  }
  return adapter->phykind;
}

const char* DEC21143_Card::RunPhyTest() {
  if (!phyIdentified) PhyId();
  if (adapter->phykind == R83_PHY_LXT971) return TestLxt971();
  if (adapter->phykind == R83_PHY_LXT970) return TestLxt970();
  return "Unknown Phy Type!";
}

const char* DEC21143_Card::TestLxt970() {
  static char message[kMessageSize];
  constexpr int kMirror = 16;
  WritePhyRegister(kMirror, 0x5555);
  if (ReadPhyRegister(kMirror) != 0x5555) return "LXT970 mirror register not responding";
  WritePhyRegister(kMirror, 0xAAAA);
  if (ReadPhyRegister(kMirror) != 0xAAAA) return "LXT970 mirror register not responding properly";

  if (const char* failure = CheckPhyRegisters(*this, kLxt970Tables, message)) return failure;

  if ((ReadPhyRegister(18) & 0x4000) == 0) return "LXT970 reports XTAL circuit is not stable";
  if ((ReadPhyRegister(20) & 0x0004) != 0) return "LXT970 reports low voltage fault";
  return nullptr;
}

const char* DEC21143_Card::TestLxt971() {
  static char message[kMessageSize];
  WritePhyRegister(20, 0x2142);  // LED configuration
  return CheckPhyRegisters(*this, kLxt971Tables, message);
}
