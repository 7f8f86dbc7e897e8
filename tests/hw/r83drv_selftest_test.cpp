// The engine's built-in board check on good and faulty LXT970 boards.
#include <gtest/gtest.h>

#include <functional>

#include "hw/engine_bench.h"

namespace {

TEST(R83drvSelftest, AGoodLxt970BoardPassesAndKeepsItsEeprom) {
  EngineBench b(Board(sim::BoardPhy::Lxt970));
  const sim::SerialEeprom::Words before = b.board().eeprom().words();
  ASSERT_EQ(b.Init(), 0);
  EXPECT_EQ(b.a()->selftest(b.a()), 0);
  EXPECT_EQ(b.board().eeprom().words(), before);
  // 10BASE-T full duplex, chip stopped.
  EXPECT_EQ(b.board().phy()->readRegister(0) & 0x3100, 0x0100);
  EXPECT_EQ(b.csr(6) & 0x2002, 0u);
  // After a new initialisation the engine runs again.
  ASSERT_EQ(b.Open(kLoopbackOpMode), 0);
  std::vector<uint8_t> in;
  ASSERT_TRUE(b.Send(b.ToSelf(300)));
  EXPECT_TRUE(b.Receive(&in));
}

TEST(R83drvSelftest, FaultsGiveTheirCodes) {
  struct Case {
    const char* name;
    std::function<void(sim::AdapterBoardConfig&)> fault;
    std::function<void(EngineBench&)> afterInit;
    uint16_t code;
  };
  const Case cases[] = {
      {"stuck mirror register", [](sim::AdapterBoardConfig& c) { c.faults.phy.mirrorStuck = true; }, nullptr, 710},
      {"bus mastering off", nullptr, [](EngineBench& b) { b.setCfg(0x04, b.cfg(0x04) & ~0x4u); }, 810},
      {"XTAL unstable", [](sim::AdapterBoardConfig& c) { c.faults.phy.xtalUnstable = true; }, nullptr, 730},
      {"PHY register value", [](sim::AdapterBoardConfig& c) {
         c.faults.phy.wrongRegister = 2;
         c.faults.phy.wrongXor = 0x0100;
       }, nullptr, 721},
      {"looped frames lost", [](sim::AdapterBoardConfig& c) { c.faults.chip.loopbackDrops = true; }, nullptr, 830},
      {"looped byte corrupt", [](sim::AdapterBoardConfig& c) { c.faults.chip.loopbackCorruptByte = 100; }, nullptr,
       840},
      {"read-only configuration bit", [](sim::AdapterBoardConfig& c) {
         c.faults.chip.configWritable.push_back({0x2C, 0x00010000});
       }, nullptr, 200},
      {"CSR answers with decoding off", [](sim::AdapterBoardConfig& c) { c.faults.chip.csrAnswersDisabled = 5; },
       nullptr, 530},
      {"read-only CSR bit", [](sim::AdapterBoardConfig& c) { c.faults.chip.csrWritable = {5, 0x00020000}; }, nullptr,
       521},
      {"CSR value", [](sim::AdapterBoardConfig& c) { c.faults.chip.csrWrongValue = {15, 0x00000100}; }, nullptr, 520},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim::AdapterBoardConfig config = Board(sim::BoardPhy::Lxt970);
    if (c.fault) c.fault(config);
    EngineBench b(config);
    ASSERT_EQ(b.Init(), 0);
    if (c.afterInit) c.afterInit(b);
    const uint64_t looped = b.board().stats().framesLooped;
    EXPECT_EQ(b.a()->selftest(b.a()), c.code);
    // A register failure ends the test before any frame is sent.
    if (c.code < 820) {
      EXPECT_EQ(b.board().stats().framesLooped, looped);
    }
  }
}

}  // namespace
