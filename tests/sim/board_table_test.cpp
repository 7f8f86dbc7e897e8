// [[board]] tables of bench files, and the boards of the built-in bench.
#include <gtest/gtest.h>

#include <cstring>

#include "sim/adapter_board.h"
#include "sim/bench.h"
#include "sim/ethernet_segment.h"
#include "sim/machine.h"

namespace {

std::string LoadError(const std::string& text) {
  try {
    sim::LoadBenchText(text, "t.toml");
  } catch (const sim::BenchError& e) {
    return e.what();
  }
  return "";
}

sim::AdapterBoard* BoardAt(sim::Machine& m, int bus, int device) {
  return dynamic_cast<sim::AdapterBoard*>(m.functionAt(bus, device, 0));
}

TEST(BoardTable, ReadsABoardWithItsFaults) {
  auto m = sim::LoadBenchText(R"(
[[segment]]
name = "lab"

[[board]]
device = 5
model = "R51"
variant = "FX"
mac = "00:40:05:aa:bb:cc"
segment = "lab"
revision = 0x30
faults = { csr_wrong_value = { csr = 0, bits = 0x10000 }, eeprom_stuck = [ { word = 3, bits = 0x8001, level = 1 }, { word = 4, bits = 0x00ff, level = 0 } ], no_phy = "zeros", loopback_corrupt_byte = 7, config_writable = [ { offset = 0x08, bits = 0xff } ], rx_crc_error_every = 3 }
)",
                              "t.toml");
  sim::AdapterBoard* b = BoardAt(*m, 0, 5);
  ASSERT_NE(b, nullptr);
  const sim::AdapterBoardConfig& c = b->boardConfig();
  EXPECT_EQ(c.model, sim::BoardModel::R51);
  EXPECT_EQ(c.variant, sim::BoardVariant::Fx);
  EXPECT_EQ(c.phy, sim::BoardPhy::Lxt970);  // the default for an R51
  EXPECT_EQ(c.mac, (sim::MacAddress{0x00, 0x40, 0x05, 0xAA, 0xBB, 0xCC}));
  EXPECT_EQ(m->configRead(0, 5, 0, 0x08), 0x02000030u);
  EXPECT_EQ(m->configRead(0, 5, 0, 0x2C), 0x010013D8u);
  EXPECT_EQ(b->segment(), m->segment("lab"));
  EXPECT_EQ(b->phy(), nullptr);
  EXPECT_EQ(c.faults.noPhy, sim::Csr9Lines::MdioFault::Shorted);
  EXPECT_EQ(c.faults.chip.csrWrongValue.csr, 0);
  EXPECT_EQ(c.faults.chip.csrWrongValue.bits, 0x10000u);
  EXPECT_EQ(c.faults.chip.loopbackCorruptByte, 7);
  EXPECT_EQ(c.faults.chip.rxCrcErrorEvery, 3u);
  ASSERT_EQ(c.faults.chip.configWritable.size(), 1u);
  EXPECT_EQ(c.faults.eeprom.stuckOr[3], 0x8001);
  EXPECT_EQ(c.faults.eeprom.stuckAnd[4], 0xFF00);
  // The writable revision byte: the fault reaches the configuration space.
  m->configWrite(0, 5, 0, 0x08, 0x02000055);
  EXPECT_EQ(m->configRead(0, 5, 0, 0x08), 0x02000055u);
}

TEST(BoardTable, RefusesMistakes) {
  const std::string board = "[[board]]\ndevice = 3\nmodel = \"R83\"\n";
  const std::pair<std::string, std::string> cases[] = {
      {"[[board]]\ndevice = 3\n", "t.toml:1: missing key \"model\""},
      {board + "variant = \"TP\"\n", "t.toml:4: \"variant\" must be \"TX\" or \"FX\", not \"TP\""},
      {board + "mac = \"01:00:5e:00:00:01\"\n", "t.toml:4: \"mac\" is a multicast address"},
      {board + "mac = \"00:11:22\"\n", "t.toml:4: \"mac\" must be an Ethernet address"},
      {board + "segment = \"nowhere\"\n", "t.toml:4: no [[segment]] named \"nowhere\""},
      {board + "eeprom = [1, 2, 3]\n", "t.toml:4: \"eeprom\" must be an array of 64 words"},
      {board + "faults = { loopback_eats = true }\n", "t.toml:4: unknown key \"loopback_eats\""},
      {board + "phy = \"none\"\nfaults = { phy_mirror_stuck = true }\n",
       "t.toml:5: \"phy_mirror_stuck\" needs a PHY on the board"},
      {board + "faults = { no_phy = \"maybe\" }\n", "t.toml:4: \"no_phy\" must be \"ones\" or \"zeros\""},
      {board + "faults = { csr_writable = 6 }\n", "t.toml:4: \"csr_writable\" must be a table"},
      {board + "faults = { csr_writable = { csr = 16, bits = 1 } }\n", "\"csr\" = 16 is out of range (0 to 15)"},
      {board + "[[board]]\ndevice = 3\nmodel = \"R51\"\n", "t.toml:4: duplicate function 00:03.0 (first at line 1)"},
  };
  for (const auto& [text, message] : cases) {
    const std::string error = LoadError(text);
    EXPECT_NE(error.find(message), std::string::npos) << "got: " << error << "\nfor:\n" << text;
  }
}

// The built-in bench: three boards on one segment with an echo station.
TEST(BoardTable, BuiltinBenchBoards) {
  auto m = sim::BuiltinBench();
  struct Row {
    int bus, device;
    sim::BoardModel model;
    sim::BoardVariant variant;
    sim::BoardPhy phy;
  } rows[] = {
      {0, 3, sim::BoardModel::R83, sim::BoardVariant::Tx, sim::BoardPhy::Lxt971},
      {0, 4, sim::BoardModel::R51, sim::BoardVariant::Tx, sim::BoardPhy::Lxt970},
      {1, 0, sim::BoardModel::R83, sim::BoardVariant::Fx, sim::BoardPhy::Lxt970},
  };
  for (const Row& r : rows) {
    sim::AdapterBoard* b = BoardAt(*m, r.bus, r.device);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->boardConfig().model, r.model);
    EXPECT_EQ(b->boardConfig().variant, r.variant);
    EXPECT_EQ(b->boardConfig().phy, r.phy);
    EXPECT_EQ(b->segment(), m->segment("lan"));
    ASSERT_NE(b->phy(), nullptr);
    EXPECT_TRUE(b->phy()->linkUp());
  }
}

// A frame from the R83 to the echo station comes back through the station
// address loaded by a setup frame.
TEST(BoardTable, BuiltinBenchEchoesAFrame) {
  auto m = sim::BuiltinBench();
  sim::AdapterBoard* b = BoardAt(*m, 0, 3);
  ASSERT_NE(b, nullptr);
  const uint64_t csrs = b->barBase(1);
  auto csr = [&](int n, uint32_t v) { m->memWrite(csrs + 8 * n, v, 4); };
  uint8_t* v = m->dmaVirtual();
  const auto p = static_cast<uint32_t>(m->dmaPhysical());
  auto put = [&](uint32_t offset, std::initializer_list<uint32_t> words) {
    for (uint32_t w : words) std::memcpy(v + offset, &w, 4), offset += 4;
  };
  const uint8_t me[6] = {0x02, 0x13, 0xD8, 0x00, 0x03, 0x00};
  const uint8_t echo[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0xEE};
  // Setup frame: the station address in all 16 entries.
  for (int e = 0; e < 16; ++e) {
    for (int i = 0; i < 3; ++i) {
      v[0x700 + 12 * e + 4 * i] = me[2 * i];
      v[0x700 + 12 * e + 4 * i + 1] = me[2 * i + 1];
    }
  }
  uint8_t* frame = v + 0x1000;
  std::memcpy(frame, echo, 6);
  std::memcpy(frame + 6, me, 6);
  frame[12] = 0x08;
  for (int i = 13; i < 100; ++i) frame[i] = static_cast<uint8_t>(i);
  put(0x00, {0x80000000, 0x080000C0, p + 0x700, 0});           // setup
  put(0x10, {0x80000000, 0x62000000 | 100, p + 0x1000, 0});    // the frame, ring end
  put(0x800, {0x80000000, 0x02000000 | 1518, p + 0x2000, 0});  // one receive buffer
  csr(0, 1);
  csr(4, p);
  csr(3, p + 0x800);
  csr(6, 0x020C2002);
  m->poll();  // the echo station answers when the wire is next polled
  uint32_t rdes0;
  std::memcpy(&rdes0, v + 0x800, 4);
  EXPECT_EQ(rdes0 & 0x80000000, 0u);
  EXPECT_EQ(rdes0 >> 16 & 0x3FFF, 104u);
  EXPECT_EQ(std::memcmp(v + 0x2000, me, 6), 0);
  EXPECT_EQ(std::memcmp(v + 0x2006, echo, 6), 0);
  EXPECT_EQ(std::memcmp(v + 0x200C, frame + 12, 88), 0);
}

}  // namespace
