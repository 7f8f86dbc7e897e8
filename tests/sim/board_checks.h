#pragma once
// The board checks the diagnostics program runs on an R51 or R83 adapter,
// written out over BoardBench so that the simulated boards can be held to
// them: a good board passes each, every injected fault fails the one meant to
// catch it. Each answers "" for a pass, else a short reason.
#include <array>
#include <cstdio>
#include <string>

#include "board_bench.h"
#include "hw/mii.h"
#include "hw/srom.h"

namespace checks {

inline std::string Hex(uint32_t v) {
  char text[16];
  std::snprintf(text, sizeof text, "%08x", v);
  return text;
}

inline std::string At(uint32_t offset) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x", offset);
  return text;
}

// "Configuration Reads".
inline std::string ConfigurationReads(BoardBench& b, sim::BoardModel model) {
  const uint32_t cfcs = b.cfg(0x04);
  const uint32_t reserved = model == sim::BoardModel::R51 ? 0x000FFC00 : 0x086FFEA8;
  if (b.cfg(0x00) != 0x00191011) return "Wrong CFID value";
  if (cfcs & reserved) return "Reserved bits set in CFCS register";
  if (cfcs & 0x40000000) return "CFCS reports system error";
  if ((cfcs & 0x06000000) != 0x02000000) return "CFCS reports wrong device timing value";
  if ((b.cfg(0x08) & 0xFFFF0000) != 0x02000000) return "CFRV reports wrong device class";
  if (b.cfg(0x08) & 0xFF00) return "Reserved bits set in CFRV register";
  if (b.cfg(0x0C) & 0xFFFF0000) return "Reserved bits set in CFLT register";
  if (b.cfg(0x10) & 0x7E) return "Unexpected bits set in CBIO register";
  if (!(b.cfg(0x10) & 1)) return "I/O space bit not set in CBIO register";
  if (b.cfg(0x14) & 0x7E) return "Unexpected bits set in CBMA register";
  if (b.cfg(0x14) & 1) return "I/O space bit set in CBMA register";
  if (b.cfg(0x30) & 0x3FE) return "Unexpected bits set in CBER register";
  if ((b.cfg(0x3C) & 0xFFFFFF00) != 0x28140100) return "Wrong CFIT register value";
  if (b.cfg(0x40) & 0x3FFF00FF) return "Reserved bits set in CFDD register";
  return "";
}

using ConfigMasks = std::array<uint32_t, 64>;

// The read-only masks of "Configuration Writes" for a model.
inline ConfigMasks ConfigurationWriteMasks(sim::BoardModel model) {
  const bool r51 = model == sim::BoardModel::R51;
  ConfigMasks m{};
  m[0x00 / 4] = 0xFFFFFFFF;
  m[0x04 / 4] = 0x0E6FFEA8;
  m[0x08 / 4] = 0xFFFFFFFF;
  m[0x0C / 4] = 0xFFFF0000;
  m[0x10 / 4] = m[0x14 / 4] = 0x0000007F;
  for (int o = 0x18; o <= 0x2C; o += 4) m[o / 4] = 0xFFFFFFFF;
  m[0x30 / 4] = 0x000003FE;
  m[0x34 / 4] = 0xFFFFFF00;
  m[0x38 / 4] = r51 ? 0 : 0xFFFFFFFF;
  m[0x3C / 4] = r51 ? 0 : 0xFFFFFF00;
  m[0x40 / 4] = 0x3FFF00FF;
  m[0x44 / 4] = r51 ? 0xFFFFFF00 : 0;
  for (int o = 0x48; o <= 0x50; o += 4) m[o / 4] = r51 ? 0xFFFFFFFF : 0;
  m[0x54 / 4] = r51 ? 0xFFFFFF00 : 0xFFFFFE00;
  for (int o = 0x58; o <= 0xDC; o += 4) m[o / 4] = 0xFFFFFFFF;
  m[0xE0 / 4] = 0xFFFF7EFC;
  for (int o = 0xE4; o <= 0xFC; o += 4) m[o / 4] = 0xFFFFFFFF;
  return m;
}

// Writes every masked bit inverted and looks whether it changed.
inline std::string ReadOnlyConfigBits(BoardBench& b, const ConfigMasks& masks) {
  for (int i = 0; i < 64; ++i) {
    if (masks[i] == 0) continue;
    const uint8_t offset = static_cast<uint8_t>(4 * i);
    const uint32_t d = b.cfg(offset);
    b.setCfg(offset, d ^ masks[i]);
    const uint32_t e = b.cfg(offset);
    if ((e & masks[i]) != (d & masks[i])) {
      b.setCfg(offset, d);
      return "Reg 0x" + At(offset) + " bits aren't RO";
    }
  }
  return "";
}

// The controller register tables: value mask, expected value, write-only mask
// at 32 positions, CSRn at position 2n.
struct RegisterTables {
  std::array<uint32_t, 32> mask{}, expected{}, writeOnly{};
};

inline RegisterTables ControllerRegisterTables() {
  RegisterTables t;
  auto set = [&t](int csr, uint32_t mask, uint32_t expected, uint32_t writeOnly) {
    t.mask[2 * csr] = mask;
    t.expected[2 * csr] = expected;
    t.writeOnly[2 * csr] = writeOnly;
  };
  set(0, 0x00010000, 0, 0);
  set(1, 0xFFFFFFFF, 0xFFFFFFFF, 0);
  set(2, 0xFFFFFFFF, 0xFFFFFFFF, 0);
  set(5, 0x00005010, 0, 0x03FE0000);
  set(6, 0x0E010100, 0x02000000, 0x00000015);
  set(7, 0x00005010, 0, 0);
  set(15, 0x00000100, 0, 0);
  return t;
}

// "I/O-mapped Registers" (io) or "Memory-mapped Registers".
inline std::string RegisterCheck(BoardBench& b, bool io, const RegisterTables& t = ControllerRegisterTables()) {
  const uint32_t enable = io ? 1 : 2;
  auto read = [&](uint32_t offset) { return io ? b.io(offset) : b.mem(offset); };
  auto write = [&](uint32_t offset, uint32_t v) { io ? b.setIo(offset, v) : b.setMem(offset, v); };
  if (!(b.cfg(0x04) & enable)) return "Device registers not enabled";
  for (uint32_t i = 0; i < 32; ++i) {
    const uint32_t offset = 4 * i;
    const uint32_t r = read(offset);
    if ((r & t.mask[i]) != (t.expected[i] & t.mask[i])) return "reg " + At(offset) + " read " + Hex(r);
    if (t.writeOnly[i] != 0) {
      write(offset, r ^ t.writeOnly[i]);
      const uint32_t r2 = read(offset);
      if ((r2 & t.writeOnly[i]) != (r & t.writeOnly[i])) {
        write(offset, r);
        return "register " + At(offset) + " should be write-only";
      }
    }
  }
  b.setCfg(0x04, b.cfg(0x04) & ~enable);
  const uint32_t c = read(0);
  for (uint32_t i = 0; i < 32; ++i) {
    const uint32_t offset = 4 * i;
    if (read(offset) != c) return "register " + At(offset) + " refuses to die";
    write(offset, ~c);
    if (read(offset) != c) return "register " + At(offset) + " refuses to die (bits changed)";
  }
  b.setCfg(0x04, b.cfg(0x04) | enable);
  for (uint32_t i = 0; i < 32; ++i) {
    const uint32_t back = read(4 * i);
    if ((back & t.mask[i]) != (t.expected[i] & t.mask[i])) return "register " + At(4 * i) + " didn't come back";
  }
  return "";
}

// "Level1 PHY": the register tables of the LXT970 (TX or FX) and the LXT971.
inline std::string Level1Phy(BoardBench& b, bool fibre) {
  Adapter* a = b.adapter();
  auto reg = [a](int r) { return adapter_mii_read(a, r); };
  const uint32_t id = (uint32_t{reg(2)} << 16 | reg(3)) & ~0xFu;
  struct Row {
    uint16_t mask, expected, readOnly;
  };
  std::array<Row, 21> rows{};
  int last = 0;
  std::string name;
  if (id == 0x78100000) {
    name = "LXT970";
    adapter_mii_write(a, 16, 0x5555);
    if (reg(16) != 0x5555) return "LXT970 mirror register not responding";
    adapter_mii_write(a, 16, 0xAAAA);
    if (reg(16) != 0xAAAA) return "LXT970 mirror register not responding properly";
    last = 20;
    rows[0] = fibre ? Row{0x7D80, 0x2000, 0} : Row{0x5C80, 0x1000, 0};
    rows[1] = {0x7848, 0x7808, 0xFFFF};
    rows[2] = rows[3] = rows[5] = rows[6] = rows[18] = rows[20] = {0, 0, 0xFFFF};
    rows[4] = {0x03FF, static_cast<uint16_t>(fibre ? 0x0001 : 0x01E1), 0};
    rows[19] = {0x6FFD, static_cast<uint16_t>(fibre ? 0x0104 : 0x0000), 0};
  } else if (id == 0x001378E0) {
    name = "LXT971";
    adapter_mii_write(a, 20, 0x2142);
    last = 19;
    rows[0] = {0x5C80, 0x1000, 0};
    rows[1] = {0xFE80, 0x7800, 0xFFFF};
    rows[2] = rows[3] = rows[5] = rows[6] = rows[8] = rows[17] = rows[19] = {0, 0, 0xFFFF};
    rows[4] = {0x03FF, 0x01E1, 0};
    rows[16] = {0x77C0, 0x0080, 0};
  } else {
    return "Unknown Phy Type!";
  }
  for (int r = 0; r <= last; ++r) {
    const uint16_t v = reg(r);
    if ((v & rows[r].mask) != (rows[r].expected & rows[r].mask)) {
      return name + " register " + std::to_string(r) + " has wrong value " + Hex(v).substr(4);
    }
    if (rows[r].readOnly != 0) {
      adapter_mii_write(a, r, static_cast<uint16_t>(v ^ rows[r].readOnly));
      const uint16_t w = reg(r);
      if ((w & rows[r].mask) != (v & rows[r].mask)) {
        adapter_mii_write(a, r, v);
        return name + " register " + std::to_string(r) + " bits should be read-only";
      }
    }
  }
  if (name == "LXT970") {
    if (!(reg(18) & 0x4000)) return "LXT970 reports XTAL circuit is not stable";
    if (reg(20) & 0x0004) return "LXT970 reports low voltage fault";
  }
  return "";
}

// The card's Reset: software reset, PHY reset, out of sleep.
inline void CardReset(BoardBench& b) {
  b.setCsr(0, 1);
  b.skip(2);
  adapter_mii_write(b.adapter(), 0, 0x8000);
  b.skip(1);
  b.setCfg(0x40, 0);
}

// The loopback test: operating mode 0x400 (internal, PHY control 0x2000) or
// 0x800 (through the PHY, control 0x4000), one 256-byte frame from the ring at
// 0 into the ring at 0x800 (buffer at 0x820)...
inline std::string LoopbackFrame(BoardBench& b, uint32_t mode, uint16_t phyControl, bool r83) {
  if (!(b.cfg(0x04) & 4)) return "Bus mastering disabled";
  if (r83) b.setCfg(0x40, 0);
  CardReset(b);
  const uint32_t busMode = 0x01A06002;
  adapter_mii_write(b.adapter(), 0, phyControl);
  b.descriptor(0x00, 0x80000000, 0x62000100, b.phys(32));
  b.descriptor(0x10, 0, 0x02000000);
  for (int i = 0; i < 256; ++i) *b.dma(32 + i) = static_cast<uint8_t>(i);
  b.descriptor(0x800, 0x80000000, 1518, b.phys(0x820));
  b.descriptor(0x810, 0, 0x02000000);
  const uint32_t e = mode | 0x420C0040;
  b.setCsr(5, 0xFFFFFFFF);
  b.setCsr(0, busMode);
  b.setCsr(6, e);
  b.setCsr(4, b.phys(0));
  b.setCsr(3, b.phys(0x800));
  if (r83) {
    b.setCsr(13, 0);
    b.setCsr(14, 0);
    b.setCsr(15, 0x890F0000);
    b.setCsr(15, 0x800F0000);
  }
  b.setCsr(6, e | 0x2002);
  b.setCsr(1, 0xFFFFFFFF);
  auto owned = [&](uint32_t offset) {
    for (int polls = 0; polls < 1000; ++polls) {
      if (!(b.word(offset) & 0x80000000)) return false;
      b.skip(1000);
    }
    return true;
  };
  if (owned(0x00)) return "Timeout on loopback transmission";
  if (owned(0x800)) return "Timeout on loopback reception";
  for (int i = 0; i < 256; ++i) {
    if (*b.dma(0x820 + i) != i) return "Byte " + At(i) + " wrong";
  }
  return "";
}

// ... then both descriptors given back and the processes started again with
// bus mastering off: nothing may move.
inline std::string LoopbackWithoutBusMaster(BoardBench& b, uint32_t mode) {
  const uint32_t e = mode | 0x420C0040;
  b.setCsr(6, e);
  b.setCfg(0x04, b.cfg(0x04) & ~4u);
  b.setWord(0x00, 0x80000000);
  b.setWord(0x800, 0x80000000);
  b.setCsr(6, e | 0x2002);
  b.skip(1000000);
  b.setCsr(6, e);
  b.setCfg(0x04, b.cfg(0x04) | 4u);
  if (b.word(0x00) != 0x80000000) return "Transmit DMA occurred while disabled!";
  if (b.word(0x800) != 0x80000000) return "Receive DMA occurred while disabled!";
  return "";
}

inline std::string Loopback(BoardBench& b, uint32_t mode, uint16_t phyControl, bool r83) {
  std::string result = LoopbackFrame(b, mode, phyControl, r83);
  return result.empty() ? LoopbackWithoutBusMaster(b, mode) : result;
}

// "Serial EEPROM": complement every word, restore, then check write protection.
inline std::string SerialEepromTest(BoardBench& b) {
  Adapter* a = b.adapter();
  std::array<uint16_t, 64> saved{};
  for (int i = 0; i < 64; ++i) saved[i] = adapter_srom_read(a, i);
  adapter_srom_write_enable(a, 1);
  for (int i = 0; i < 64; ++i) adapter_srom_write(a, i, static_cast<uint16_t>(~saved[i]));
  for (int i = 0; i < 64; ++i) {
    if (adapter_srom_read(a, i) != static_cast<uint16_t>(~saved[i])) {
      for (int j = 0; j < 64; ++j) adapter_srom_write(a, j, saved[j]);
      adapter_srom_write_enable(a, 0);
      return "EEPROM word " + std::to_string(i) + " contains stuck bits";
    }
  }
  for (int i = 0; i < 64; ++i) adapter_srom_write(a, i, saved[i]);
  for (int i = 0; i < 64; ++i) {
    if (adapter_srom_read(a, i) != saved[i]) return "EEPROM word " + std::to_string(i) + " contains bad bits";
  }
  adapter_srom_write_enable(a, 0);
  adapter_srom_write(a, 0, static_cast<uint16_t>(~saved[0]));
  if (adapter_srom_read(a, 0) != saved[0]) {
    adapter_srom_write(a, 0, saved[0]);
    return "EEPROM didn't write-protect correctly";
  }
  return "";
}

}  // namespace checks
