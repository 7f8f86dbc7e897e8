#include "hw/mii.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "csr9_bench.h"

namespace {

using sim::Csr9Lines;
using sim::Lxt97xPhy;
using sim::PhyMedia;
using sim::PhyModel;

// One character per management clock cycle: '0'/'1' a driven bit (v, v + MDC with
// v = bit << 17), 'r' a read cycle (0x40000, 0x50000), '.' the closing CSR9 = 0.
std::string Cycles(const std::vector<uint32_t>& writes) {
  std::string text;
  size_t i = 0;
  while (i < writes.size()) {
    uint32_t v = writes[i];
    if (v == 0 && i + 1 == writes.size()) return text + '.';
    if (i + 1 >= writes.size() || writes[i + 1] != (v | 0x10000)) return text + '?';
    if (v == 0x40000) {
      text += 'r';
    } else if (v == 0 || v == 0x20000) {
      text += v ? '1' : '0';
    } else {
      return text + '?';
    }
    i += 2;
  }
  return text;
}

TEST(MiiFrames, ReadAndWriteBits) {
  struct Case {
    const char* what;
    std::function<void(Adapter*)> run;
    std::string cycles;
    int reads;
  };
  const std::string preamble(34, '1');
  const Case cases[] = {
      {"read register 2", [](Adapter* a) { adapter_mii_read(a, 2); },
       preamble + "0110" "00001" "00010" + std::string(18, 'r') + ".", 18},
      {"write 0x8000 to register 0", [](Adapter* a) { adapter_mii_write(a, 0, 0x8000); },
       preamble + "0101" "00001" "00000" "10" "1000000000000000" ".", 0},
      {"write 0x0F0F to register 31", [](Adapter* a) { adapter_mii_write(a, 31, 0x0F0F); },
       preamble + "0101" "00001" "11111" "10" "0000111100001111" ".", 0},
  };
  for (const Case& c : cases) {
    Csr9Bench bench;
    c.run(&bench.adapter);
    EXPECT_EQ(Cycles(bench.writes), c.cycles) << c.what;
    EXPECT_EQ(bench.reads, c.reads) << c.what;
    EXPECT_EQ(bench.lines.lastWrite(), 0u) << c.what;
  }
}

TEST(MiiFrames, PhyIdentifiers) {
  struct Case {
    PhyModel model;
    PhyMedia media;
    uint16_t id1;
    uint16_t id2;
    uint32_t identifier;  // revision cleared
  };
  const Case cases[] = {
      {PhyModel::Lxt970, PhyMedia::Tx, 0x7810, 0x0003, 0x78100000},
      {PhyModel::Lxt970, PhyMedia::Fx, 0x7810, 0x0003, 0x78100000},
      {PhyModel::Lxt971, PhyMedia::Tx, 0x0013, 0x78E2, 0x001378E0},
      {PhyModel::Lxt971, PhyMedia::Fx, 0x0013, 0x78E2, 0x001378E0},
  };
  for (const Case& c : cases) {
    Csr9Bench bench(c.model, c.media);
    uint16_t id1 = adapter_mii_read(&bench.adapter, 2);
    uint16_t id2 = adapter_mii_read(&bench.adapter, 3);
    EXPECT_EQ(id1, c.id1);
    EXPECT_EQ(id2, c.id2);
    EXPECT_EQ(((uint32_t{id1} << 16) | id2) & ~0xFu, c.identifier);
  }
}

TEST(MiiBus, OnlyTheBoardsPhyAnswers) {
  struct Case {
    const char* what;
    Csr9Lines::MdioFault fault;
    int address;
    uint16_t value;
  };
  const Case cases[] = {
      {"board PHY", Csr9Lines::MdioFault::None, 1, 0x7810},
      {"address 0", Csr9Lines::MdioFault::None, 0, 0xFFFF},
      {"address 2", Csr9Lines::MdioFault::None, 2, 0xFFFF},
      {"address 31", Csr9Lines::MdioFault::None, 31, 0xFFFF},
      {"nothing attached", Csr9Lines::MdioFault::NothingAttached, 1, 0xFFFF},
      {"line shorted", Csr9Lines::MdioFault::Shorted, 1, 0x0000},
  };
  for (const Case& c : cases) {
    Csr9Bench bench;
    bench.lines.setMdioFault(c.fault);
    EXPECT_EQ(mii_read(&bench.adapter, c.address, 2, csr9_mii_put_bit, csr9_mii_get_bit), c.value) << c.what;
  }

  // A frame for another address leaves the board's PHY alone.
  Csr9Bench bench;
  mii_write(&bench.adapter, 2, 16, 0x1234, csr9_mii_put_bit);
  mii_write(&bench.adapter, 3, 0, 0x8000, csr9_mii_put_bit);
  adapter_mii_write(&bench.adapter, 0, 0x0100);
  mii_write(&bench.adapter, 0, 0, 0x8000, csr9_mii_put_bit);
  EXPECT_EQ(adapter_mii_read(&bench.adapter, 16), 0x0000);
  EXPECT_EQ(adapter_mii_read(&bench.adapter, 0), 0x0100);
}

// ---- The register checks the program makes of a good PHY ----

struct Row {
  int reg;
  uint16_t mask;
  uint16_t expected;
  uint16_t readOnly;
};

// Compares each register under its mask, writes it back with the read-only bits
// inverted and checks they held. selftestStyle: always write and compare under the
// read-only mask; otherwise write only read-only registers and compare under the
// value mask. Answers "" or what failed.
std::string CheckRows(Adapter* a, const std::vector<Row>& rows, bool selftestStyle) {
  char text[64];
  for (const Row& row : rows) {
    uint16_t v = adapter_mii_read(a, row.reg);
    if ((v & row.mask) != (row.expected & row.mask)) {
      std::snprintf(text, sizeof text, "register %d reads %04x", row.reg, v);
      return text;
    }
    if (!selftestStyle && row.readOnly == 0) continue;
    adapter_mii_write(a, row.reg, static_cast<uint16_t>(v ^ row.readOnly));
    uint16_t w = adapter_mii_read(a, row.reg);
    uint16_t compare = selftestStyle ? row.readOnly : row.mask;
    if ((w & compare) != (v & compare)) {
      std::snprintf(text, sizeof text, "register %d bits %04x not read-only", row.reg, (w ^ v) & compare);
      return text;
    }
  }
  return "";
}

std::string Lxt970BoardTest(Adapter* a, bool fx) {
  adapter_mii_write(a, 16, 0x5555);
  if (adapter_mii_read(a, 16) != 0x5555) return "mirror";
  adapter_mii_write(a, 16, 0xAAAA);
  if (adapter_mii_read(a, 16) != 0xAAAA) return "mirror";
  std::vector<Row> rows = {
      {0, static_cast<uint16_t>(fx ? 0x7D80 : 0x5C80), static_cast<uint16_t>(fx ? 0x2000 : 0x1000), 0},
      {1, 0x7848, 0x7808, 0xFFFF},
      {2, 0, 0x7810, 0xFFFF},
      {3, 0, 0, 0xFFFF},
      {4, 0x03FF, static_cast<uint16_t>(fx ? 0x0001 : 0x01E1), 0},
      {5, 0, 0, 0xFFFF},
      {6, 0, 0, 0xFFFF},
      {18, 0, 0, 0xFFFF},
      {19, 0x6FFD, static_cast<uint16_t>(fx ? 0x0104 : 0x0000), 0},
      {20, 0, 0, 0xFFFF},
  };
  std::string failure = CheckRows(a, rows, false);
  if (!failure.empty()) return failure;
  if (!(adapter_mii_read(a, 18) & 0x4000)) return "xtal";
  if (adapter_mii_read(a, 20) & 0x0004) return "low voltage";
  return "";
}

std::string Lxt971BoardTest(Adapter* a) {
  adapter_mii_write(a, 20, 0x2142);
  return CheckRows(a,
                   {{0, 0x5C80, 0x1000, 0},
                    {1, 0xFE80, 0x7800, 0xFFFF},
                    {2, 0, 0x0013, 0xFFFF},
                    {3, 0, 0, 0xFFFF},
                    {4, 0x03FF, 0x01E1, 0},
                    {5, 0, 0, 0xFFFF},
                    {6, 0, 0, 0xFFFF},
                    {8, 0, 0, 0xFFFF},
                    {16, 0x77C0, 0x0080, 0},
                    {17, 0, 0, 0xFFFF},
                    {19, 0, 0, 0xFFFF}},
                   false);
}

// The engine's start-up of an LXT970, its 100 Mb/s full-duplex media setting and
// its self-test of the PHY registers.
std::string Lxt970SelfTest(Adapter* a) {
  adapter_mii_write(a, 0, 0x8000);
  adapter_mii_write(a, 17, 0x0002);
  if (adapter_mii_read(a, 17) != 0x0002) return "interrupt enable";
  adapter_mii_write(a, 4, 0x0101);
  adapter_mii_write(a, 0, 0x2100);
  if ((adapter_mii_read(a, 4) & 0x01E1) != 0x0101 || (adapter_mii_read(a, 0) & 0x3100) != 0x2100) return "media";
  adapter_mii_write(a, 16, 0x5555);
  if (adapter_mii_read(a, 16) != 0x5555) return "mirror";
  adapter_mii_write(a, 16, 0xAAAA);
  if (adapter_mii_read(a, 16) != 0xAAAA) return "mirror";
  std::vector<Row> rows;
  for (int r = 0; r < 32; ++r) rows.push_back({r, 0, 0, 0xFFFF});
  rows[0] = {0, 0x007F, 0, 0x007F};
  rows[1] = {1, 0xFFC9, 0x7809, 0xFFFF};
  rows[2] = {2, 0xFFFF, 0x7810, 0xFFFF};
  rows[3] = {3, 0xFFF0, 0, 0xFFFF};
  rows[4] = {4, 0xC000, 0, 0};
  rows[5] = {5, 0x1800, 0, 0xFFFF};
  rows[6] = {6, 0xFFE4, 0, 0xFFFF};
  for (int r = 7; r <= 15; ++r) rows[r] = {r, 0xFFFF, 0, 0xFFFF};
  rows[16] = {16, 0, 0, 0};
  rows[17] = {17, 0, 0, 0};
  rows[18] = {18, 0x3FFF, 0, 0xFFFF};
  rows[19] = {19, 0, 0, 0};
  rows[20] = {20, 0, 0, 0xFBDC};
  std::string failure = CheckRows(a, rows, true);
  if (!failure.empty()) return failure;
  if (!(adapter_mii_read(a, 18) & 0x4000)) return "xtal";
  if (adapter_mii_read(a, 20) & 0x0004) return "low voltage";
  return "";
}

TEST(PhyContract, GoodPhysPassTheProgramsChecks) {
  struct Case {
    const char* what;
    PhyModel model;
    PhyMedia media;
    std::function<std::string(Adapter*)> check;
  };
  const Case cases[] = {
      {"LXT970 TX board test", PhyModel::Lxt970, PhyMedia::Tx, [](Adapter* a) { return Lxt970BoardTest(a, false); }},
      {"LXT970 FX board test", PhyModel::Lxt970, PhyMedia::Fx, [](Adapter* a) { return Lxt970BoardTest(a, true); }},
      {"LXT971 TX board test", PhyModel::Lxt971, PhyMedia::Tx, Lxt971BoardTest},
      {"LXT970 TX self-test", PhyModel::Lxt970, PhyMedia::Tx, Lxt970SelfTest},
      {"LXT970 FX self-test", PhyModel::Lxt970, PhyMedia::Fx, Lxt970SelfTest},
  };
  for (const Case& c : cases) {
    Csr9Bench bench(c.model, c.media);
    EXPECT_EQ(c.check(&bench.adapter), "") << c.what;
    // Run again after the PHY reset the card makes before each test.
    adapter_mii_write(&bench.adapter, 0, 0x8000);
    EXPECT_EQ(c.check(&bench.adapter), "") << c.what << ", second run";
  }
}

TEST(PhyContract, FaultsFailTheCheckThatLooksForThem) {
  struct Case {
    const char* what;
    Lxt97xPhy::Faults faults;
    std::string boardTest;
    std::string selfTest;
  };
  auto with = [](std::function<void(Lxt97xPhy::Faults&)> set) {
    Lxt97xPhy::Faults f;
    set(f);
    return f;
  };
  const Case cases[] = {
      {"mirror stuck", with([](auto& f) { f.mirrorStuck = true; }), "mirror", "mirror"},
      {"XTAL unstable", with([](auto& f) { f.xtalUnstable = true; }), "xtal", "xtal"},
      {"low voltage", with([](auto& f) { f.lowVoltage = true; }), "low voltage", "low voltage"},
      {"advertisement bit 7 wrong", with([](auto& f) { f.wrongRegister = 4, f.wrongXor = 0x0080; }),
       "register 4 reads 0161", "media"},
      {"status bit 6 wrong", with([](auto& f) { f.wrongRegister = 1, f.wrongXor = 0x0040; }),
       "register 1 reads 786d", "register 1 reads 784d"},  // negotiating, then forced
      {"identifier wrong", with([](auto& f) { f.wrongRegister = 2, f.wrongXor = 0x0100; }), "",
       "register 2 reads 7910"},
  };
  for (const Case& c : cases) {
    Csr9Bench board(PhyModel::Lxt970, PhyMedia::Tx);
    board.phy.setFaults(c.faults);
    EXPECT_EQ(Lxt970BoardTest(&board.adapter, false), c.boardTest) << c.what;
    Csr9Bench engine(PhyModel::Lxt970, PhyMedia::Tx);
    engine.phy.setFaults(c.faults);
    EXPECT_EQ(Lxt970SelfTest(&engine.adapter), c.selfTest) << c.what;
  }
}

// ---- Register behaviour ----

TEST(PhyRegisters, ResetAndRestartClearThemselves) {
  Csr9Bench bench;
  Adapter* a = &bench.adapter;
  adapter_mii_write(a, 16, 0x1234);
  adapter_mii_write(a, 4, 0x0021);
  adapter_mii_write(a, 19, 0x0010);
  adapter_mii_write(a, 0, 0x0100);
  ASSERT_EQ(adapter_mii_read(a, 0), 0x0100);
  adapter_mii_write(a, 0, 0x8000);
  EXPECT_EQ(adapter_mii_read(a, 0), 0x3100);
  EXPECT_EQ(adapter_mii_read(a, 4), 0x01E1);
  EXPECT_EQ(adapter_mii_read(a, 16), 0x0000);
  EXPECT_EQ(adapter_mii_read(a, 19), 0x0000);
  adapter_mii_write(a, 0, 0x1200);  // restart auto-negotiation
  EXPECT_EQ(adapter_mii_read(a, 0), 0x1000);
}

TEST(PhyRegisters, LinkStatusLatchesLow) {
  struct Case {
    PhyModel model;
    int statusReg;  // the vendor register with the live link bit
    uint16_t linkBit;
  };
  for (const Case& c : {Case{PhyModel::Lxt970, 20, 0x2000}, Case{PhyModel::Lxt971, 17, 0x0400}}) {
    Csr9Bench bench(c.model, PhyMedia::Tx);
    Adapter* a = &bench.adapter;
    EXPECT_EQ(adapter_mii_read(a, 1) & 0x0024, 0x0024);  // link, negotiation complete
    bench.phy.setLink(false);
    bench.phy.setLink(true);
    EXPECT_EQ(adapter_mii_read(a, c.statusReg) & c.linkBit, c.linkBit);  // live bit: up again
    EXPECT_EQ(adapter_mii_read(a, 1) & 0x0004, 0);  // the drop, once
    EXPECT_EQ(adapter_mii_read(a, 1) & 0x0004, 0x0004);
    bench.phy.setLink(false);
    EXPECT_EQ(adapter_mii_read(a, 1) & 0x0024, 0);
    EXPECT_EQ(adapter_mii_read(a, 1) & 0x0024, 0);
    EXPECT_EQ(adapter_mii_read(a, c.statusReg) & c.linkBit, 0);
  }
}

TEST(PhyRegisters, MediaFollowsNegotiationOrForcedSettings) {
  struct Case {
    const char* what;
    uint16_t advertisement;
    uint16_t control;
    uint16_t partner;
    bool link;
    bool speed100;
    bool fullDuplex;
    uint16_t partnerReg;
  };
  const Case cases[] = {
      {"both offer everything", 0x01E1, 0x1000, 0x01E1, true, true, true, 0x01E1},
      {"partner only half duplex", 0x01E1, 0x1000, 0x00A1, true, true, false, 0x00A1},
      {"we offer only 10 Mb/s", 0x0061, 0x1000, 0x01E1, true, false, true, 0x01E1},
      {"nothing in common", 0x0101, 0x1000, 0x0021, false, false, false, 0},
      {"partner does not negotiate", 0x01E1, 0x1000, 0x0000, true, true, false, 0},
      {"forced 100 full duplex", 0x01E1, 0x2100, 0x0021, true, true, true, 0},
      {"forced 10 half duplex", 0x01E1, 0x0000, 0x01E1, true, false, false, 0},
      {"powered down", 0x01E1, 0x1800, 0x01E1, false, true, true, 0},
  };
  for (const Case& c : cases) {
    for (PhyModel model : {PhyModel::Lxt970, PhyModel::Lxt971}) {
      Csr9Bench bench(model, PhyMedia::Tx);
      Adapter* a = &bench.adapter;
      bench.phy.setPartnerAbility(c.partner);
      adapter_mii_write(a, 4, c.advertisement);
      adapter_mii_write(a, 0, c.control);
      uint16_t s;
      bool link, speed100, fullDuplex;
      if (model == PhyModel::Lxt970) {
        s = adapter_mii_read(a, 20);
        link = s & 0x2000, fullDuplex = s & 0x1000, speed100 = s & 0x0800;
      } else {
        s = adapter_mii_read(a, 17);
        link = s & 0x0400, fullDuplex = s & 0x0200, speed100 = s & 0x4000;
      }
      const char* name = model == PhyModel::Lxt970 ? "LXT970" : "LXT971";
      EXPECT_EQ(link, c.link) << c.what << " " << name;
      if (c.link) {
        EXPECT_EQ(speed100, c.speed100) << c.what << " " << name;
        EXPECT_EQ(fullDuplex, c.fullDuplex) << c.what << " " << name;
      }
      EXPECT_EQ(adapter_mii_read(a, 5), c.partnerReg) << c.what << " " << name;
      EXPECT_EQ(bench.phy.linkUp(), c.link) << c.what << " " << name;
    }
  }
}

TEST(PhyRegisters, FibreVariantsAreForcedTo100) {
  struct Case {
    PhyModel model;
    int reg;
    uint16_t value;
  };
  const Case cases[] = {
      {PhyModel::Lxt970, 0, 0x2000}, {PhyModel::Lxt970, 4, 0x0001}, {PhyModel::Lxt970, 19, 0x0104},
      {PhyModel::Lxt970, 20, 0x2800},  // link, 100 Mb/s, half duplex, no negotiation
      {PhyModel::Lxt971, 0, 0x2000}, {PhyModel::Lxt971, 4, 0x0001}, {PhyModel::Lxt971, 16, 0x0085},
      {PhyModel::Lxt971, 17, 0x4400},
  };
  for (const Case& c : cases) {
    Csr9Bench bench(c.model, PhyMedia::Fx);
    // Writing auto-negotiation on and 10 Mb/s does not move a fibre PHY off 100 Mb/s.
    adapter_mii_write(&bench.adapter, 0, 0x1000);
    EXPECT_TRUE(bench.phy.speed100());
    adapter_mii_write(&bench.adapter, 0, 0x8000);
    EXPECT_EQ(adapter_mii_read(&bench.adapter, c.reg), c.value) << "register " << c.reg;
  }
}

}  // namespace
