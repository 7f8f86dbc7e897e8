#include "hw/srom.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "csr9_bench.h"

namespace {

using sim::SerialEeprom;

SerialEeprom::Words Pattern() {
  SerialEeprom::Words words{};
  for (int i = 0; i < SerialEeprom::kWords; ++i) words[i] = static_cast<uint16_t>(0x1000 + i * 0x0111);
  return words;
}

// Turns recorded CSR9 writes into one character per bit cycle: '-' chip select
// low, '0' or '1' chip select high with that data bit. A cycle must be the three
// writes v, v + clock, v with v = 0x2800 + data << 2 + select; anything else ends
// the text with '?'.
std::string Cycles(const std::vector<uint32_t>& writes) {
  std::string text;
  for (size_t i = 0; i < writes.size(); i += 3) {
    uint32_t v = writes[i];
    bool wellFormed = i + 2 < writes.size() && (v & ~0x5u) == 0x2800 && writes[i + 1] == (v | 2) &&
                      writes[i + 2] == v;
    if (!wellFormed) return text + '?';
    text += (v & 1) == 0 ? '-' : ((v & 4) ? '1' : '0');
  }
  return text;
}

TEST(SromFrames, ReadOfWordZeroIsTheExactCsr9Sequence) {
  Csr9Bench bench(sim::PhyModel::Lxt970, sim::PhyMedia::Tx, Pattern());
  std::vector<uint32_t> expected;
  auto cycle = [&](uint32_t select, uint32_t data) {
    uint32_t v = 0x2800 | (data << 2) | select;
    expected.insert(expected.end(), {v, v | 2, v});
  };
  cycle(0, 0);
  cycle(1, 0);
  for (uint32_t bit : {0, 1, 1, 0, 0, 0, 0, 0, 0, 0}) cycle(1, bit);
  for (int i = 0; i < 16; ++i) cycle(1, 0);
  cycle(0, 0);

  EXPECT_EQ(adapter_srom_read(&bench.adapter, 0), Pattern()[0]);
  EXPECT_EQ(bench.writes, expected);
  EXPECT_EQ(bench.reads, 29);      // one sample per cycle
  EXPECT_EQ(bench.now, 29u * 3);   // 1 us after each write
  EXPECT_EQ(bench.lines.lastWrite(), 0x2800u);
}

TEST(SromFrames, CommandBits) {
  struct Case {
    const char* what;
    std::function<void(Adapter*)> run;
    std::string cycles;
  };
  const std::string data16(16, '0');
  const Case cases[] = {
      {"read 0", [](Adapter* a) { adapter_srom_read(a, 0); }, "-0" "0110000000" + data16 + "-"},
      {"read 42", [](Adapter* a) { adapter_srom_read(a, 42); }, "-0" "0110101010" + data16 + "-"},
      {"write enable", [](Adapter* a) { adapter_srom_write_enable(a, 1); }, "-0" "0100110000" "-"},
      {"write disable", [](Adapter* a) { adapter_srom_write_enable(a, 0); }, "-0" "0100000000" "-"},
      // Protected, so the part is ready at the first sample.
      {"write 63 = 0x1234", [](Adapter* a) { adapter_srom_write(a, 63, 0x1234); },
       "-0" "0101111111" "0001001000110100" "-0" "0" "-"},
      {"station address", [](Adapter* a) { uint8_t mac[6]; adapter_read_station_address(a, mac); },
       "-0" "0110101010" + data16 + "-" "-0" "0110101011" + data16 + "-" "-0" "0110101100" + data16 + "-"},
  };
  for (const Case& c : cases) {
    Csr9Bench bench;
    c.run(&bench.adapter);
    EXPECT_EQ(Cycles(bench.writes), c.cycles) << c.what;
    EXPECT_EQ(bench.lines.lastWrite(), 0x2800u) << c.what;
  }
}

TEST(SromData, WritesAndReadsBackEveryWord) {
  Csr9Bench bench(sim::PhyModel::Lxt970, sim::PhyMedia::Tx, Pattern());
  SerialEeprom::Words wanted{};
  for (int i = 0; i < SerialEeprom::kWords; ++i) wanted[i] = static_cast<uint16_t>(~Pattern()[i] ^ (i << 9));
  adapter_srom_write_enable(&bench.adapter, 1);
  for (int i = 0; i < SerialEeprom::kWords; ++i) adapter_srom_write(&bench.adapter, i, wanted[i]);
  adapter_srom_write_enable(&bench.adapter, 0);
  for (int i = 0; i < SerialEeprom::kWords; ++i) EXPECT_EQ(adapter_srom_read(&bench.adapter, i), wanted[i]) << i;
  EXPECT_EQ(bench.eeprom.words(), wanted);
  EXPECT_FALSE(bench.eeprom.writeEnabled());
}

TEST(SromData, StationAddressFromWords42To44HighByteFirst) {
  SerialEeprom::Words words{};
  words[42] = 0x0011;
  words[43] = 0x2233;
  words[44] = 0x4455;
  Csr9Bench bench(sim::PhyModel::Lxt970, sim::PhyMedia::Tx, words);
  uint8_t mac[6] = {0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE};
  adapter_read_station_address(&bench.adapter, mac);
  const uint8_t expected[6] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55};
  EXPECT_EQ(0, memcmp(mac, expected, 6));
}

TEST(SromData, HighAddressBitsCannotChangeTheCommand) {
  // 0x40 + 5 in the read frame would make it an ERASE of word 5; 0x40 + 3 in the
  // write frame would make it a READ.
  Csr9Bench bench(sim::PhyModel::Lxt970, sim::PhyMedia::Tx, Pattern());
  adapter_srom_write_enable(&bench.adapter, 1);
  EXPECT_EQ(adapter_srom_read(&bench.adapter, 0x40 + 5), Pattern()[5]);
  adapter_srom_write(&bench.adapter, 0x40 + 3, 0x1234);
  bench.now += 10000;
  SerialEeprom::Words wanted = Pattern();
  wanted[3] = 0x1234;
  EXPECT_EQ(bench.eeprom.words(), wanted);
}

TEST(SromProtection, WritesTakeEffectOnlyWhenEnabled) {
  struct Case {
    const char* what;
    std::function<void(Csr9Bench&)> before;
    bool written;
  };
  const Case cases[] = {
      {"enabled", [](Csr9Bench& b) { adapter_srom_write_enable(&b.adapter, 1); }, true},
      {"never enabled", [](Csr9Bench&) {}, false},
      {"enabled then disabled",
       [](Csr9Bench& b) {
         adapter_srom_write_enable(&b.adapter, 1);
         adapter_srom_write_enable(&b.adapter, 0);
       },
       false},
      {"enabled, then power cycled",
       [](Csr9Bench& b) {
         adapter_srom_write_enable(&b.adapter, 1);
         b.eeprom = SerialEeprom(b.eeprom.words());
       },
       false},
      {"no write protection", [](Csr9Bench& b) { b.eeprom.faults.noWriteProtect = true; }, true},
      {"ignores all writes",
       [](Csr9Bench& b) {
         b.eeprom.faults.ignoreWrites = true;
         adapter_srom_write_enable(&b.adapter, 1);
       },
       false},
  };
  for (const Case& c : cases) {
    Csr9Bench bench(sim::PhyModel::Lxt970, sim::PhyMedia::Tx, Pattern());
    c.before(bench);
    adapter_srom_write(&bench.adapter, 7, 0xBEEF);
    adapter_srom_write(&bench.adapter, 0, 0x0000);
    SerialEeprom::Words wanted = Pattern();
    if (c.written) {
      wanted[7] = 0xBEEF;
      wanted[0] = 0x0000;
    }
    EXPECT_EQ(bench.eeprom.words(), wanted) << c.what;
    EXPECT_EQ(adapter_srom_read(&bench.adapter, 7), wanted[7]) << c.what;
  }
}

TEST(SromTiming, WriteWaitsForTheProgrammingCycle) {
  Csr9Bench bench;
  adapter_srom_write_enable(&bench.adapter, 1);
  uint64_t start = bench.now;
  adapter_srom_write(&bench.adapter, 9, 0x5AA5);
  uint64_t elapsed = bench.now - start;
  // Frame and chip-select toggle (30 cycles), the busy samples, the final cycle.
  EXPECT_GE(elapsed, SerialEeprom::kDefaultProgramMicros);
  EXPECT_LE(elapsed, SerialEeprom::kDefaultProgramMicros + 33u * 3);
  EXPECT_FALSE(bench.eeprom.busy(bench.now));
  EXPECT_EQ(adapter_srom_read(&bench.adapter, 9), 0x5AA5);
}

TEST(SromTiming, NeverReadyGivesUpAfter5001Samples) {
  Csr9Bench bench;
  bench.eeprom.faults.neverReady = true;
  adapter_srom_write_enable(&bench.adapter, 1);
  bench.ClearLog();
  uint64_t start = bench.now;
  adapter_srom_write(&bench.adapter, 9, 0x5AA5);
  // Frame, chip-select toggle, 5001 ready samples, the final cycle: 3 us each.
  EXPECT_EQ(bench.reads, 2 + 26 + 2 + 5001 + 1);
  EXPECT_EQ(bench.now - start, uint64_t{2 + 26 + 2 + 5001 + 1} * 3);
  // The part itself took the word; only its ready signal is broken.
  EXPECT_EQ(adapter_srom_read(&bench.adapter, 9), 0x5AA5);
}

TEST(SromFaults, StuckBitsShowInWhatIsRead) {
  struct Case {
    uint16_t written;
    uint16_t read;
  };
  // Word 5: bit 8 stuck at 0, bit 0 stuck at 1.
  const Case cases[] = {{0x0000, 0x0001}, {0xFFFF, 0xFEFF}, {0x0101, 0x0001}, {0x1234, 0x1235}};
  for (const Case& c : cases) {
    Csr9Bench bench;
    bench.eeprom.faults.stuckAnd[5] = 0xFEFF;
    bench.eeprom.faults.stuckOr[5] = 0x0001;
    adapter_srom_write_enable(&bench.adapter, 1);
    adapter_srom_write(&bench.adapter, 5, c.written);
    adapter_srom_write(&bench.adapter, 6, c.written);
    EXPECT_EQ(adapter_srom_read(&bench.adapter, 5), c.read) << std::hex << c.written;
    EXPECT_EQ(adapter_srom_read(&bench.adapter, 6), c.written) << std::hex << c.written;
  }
}

}  // namespace
