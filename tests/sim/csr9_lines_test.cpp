#include "sim/csr9_lines.h"

#include <gtest/gtest.h>

#include "sim/lxt97x_phy.h"
#include "sim/serial_eeprom.h"

namespace {

using sim::Csr9Lines;
using sim::Lxt97xPhy;
using sim::PhyMedia;
using sim::PhyModel;
using sim::SerialEeprom;

// Reads EEPROM word 0 through CSR9 with the given serial-ROM path bits.
uint16_t ReadWordZero(Csr9Lines& lines, uint32_t path) {
  auto cycle = [&](uint32_t select, uint32_t data) {
    uint32_t v = path | (data << 2) | select;
    lines.write(v, 0);
    lines.write(v | Csr9Lines::kSromClock, 0);
    uint32_t bit = (lines.read(0) & Csr9Lines::kSromDataOut) ? 1 : 0;
    lines.write(v, 0);
    return bit;
  };
  cycle(0, 0);
  for (uint32_t bit : {1, 1, 0, 0, 0, 0, 0, 0, 0}) cycle(1, bit);
  uint16_t word = 0;
  for (int i = 0; i < 16; ++i) word = static_cast<uint16_t>((word << 1) | cycle(1, 0));
  cycle(0, 0);
  return word;
}

TEST(Csr9LinesSrom, EepromSeesTheLinesOnlyOnTheSerialRomPath) {
  struct Case {
    uint32_t path;
    bool selected;
  };
  const Case cases[] = {{0x2800, true},  {0x4800, true},  {0x6800, true}, {0x0800, false},
                        {0x2000, false}, {0x4000, false}, {0x0000, false}};
  for (const Case& c : cases) {
    SerialEeprom::Words words{};
    words[0] = 0x8421;
    SerialEeprom eeprom(words);
    Csr9Lines lines(&eeprom, nullptr);
    EXPECT_EQ(ReadWordZero(lines, c.path), c.selected ? 0x8421 : 0x0000) << std::hex << c.path;
  }
}

TEST(Csr9LinesMdio, LineLevels) {
  struct Case {
    const char* what;
    Csr9Lines::MdioFault fault;
    uint32_t written;
    bool line;
  };
  const Case cases[] = {
      {"chip drives 1", Csr9Lines::MdioFault::None, 0x20000, true},
      {"chip drives 0", Csr9Lines::MdioFault::None, 0x00000, false},
      {"released, PHY idle: pull-up", Csr9Lines::MdioFault::None, 0x40000, true},
      {"released, shorted", Csr9Lines::MdioFault::Shorted, 0x40000, false},
      {"chip drives 1, shorted", Csr9Lines::MdioFault::Shorted, 0x20000, false},
      {"released, nothing attached", Csr9Lines::MdioFault::NothingAttached, 0x40000, true},
  };
  for (const Case& c : cases) {
    Lxt97xPhy phy(PhyModel::Lxt970, PhyMedia::Tx);
    Csr9Lines lines(nullptr, &phy);
    lines.setMdioFault(c.fault);
    lines.write(c.written, 0);
    uint32_t v = lines.read(0);
    EXPECT_EQ((v & Csr9Lines::kMdioIn) != 0, c.line) << c.what;
    EXPECT_EQ(v & ~Csr9Lines::kMdioIn, c.written) << c.what;  // control bits read back
  }
}

}  // namespace
