// The 21143's transmit and receive processes: loopbacks, descriptor lists in
// ring and chained mode, setup-frame filtering, receive buffer unavailable,
// bus-master gating and the data-path faults.
#include <gtest/gtest.h>

#include "board_checks.h"
#include "ethernet_test_station.h"
#include "sim/ethernet_crc.h"
#include "sim/setup_filter.h"

namespace {

using sim::BoardModel;
using sim::BoardVariant;

// Reference CRC-32 of IEEE 802.3, bit by bit.
uint32_t Crc32(const uint8_t* data, size_t length) {
  uint32_t r = 0xFFFFFFFF;
  for (size_t i = 0; i < length; ++i) {
    for (int bit = 0; bit < 8; ++bit) {
      const bool feedback = ((r ^ (data[i] >> bit)) & 1) != 0;
      r = (r >> 1) ^ (feedback ? 0xEDB88320u : 0);
    }
  }
  return ~r;
}

std::vector<uint8_t> WithCrc(std::vector<uint8_t> frame) {
  const uint32_t crc = Crc32(frame.data(), frame.size());
  for (int i = 0; i < 4; ++i) frame.push_back(static_cast<uint8_t>(crc >> (8 * i)));
  return frame;
}

constexpr uint8_t kBoardMac[6] = {0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
constexpr uint8_t kPeer[6] = {0x02, 0x00, 0x00, 0x00, 0x00, 0x77};

TEST(EthernetCrc, MatchesTheStandardCheckValue) {
  const uint8_t digits[] = {'1', '2', '3', '4', '5', '6', '7', '8', '9'};
  EXPECT_EQ(Crc32(digits, 9), 0xCBF43926u);
  EXPECT_EQ(sim::EthernetFcs(digits, 9), 0xCBF43926u);
  EXPECT_EQ(sim::EthernetCrcRegister(digits, 9), 0x340BC6D9u);
  const uint8_t broadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  EXPECT_EQ(sim::SetupFilter::HashIndex(broadcast), 255);
}

// ---- Loopback ----

struct LoopCase {
  BoardModel model;
  BoardVariant variant;
  uint32_t mode;
  uint16_t phyControl;
  uint32_t dataType;  // received descriptor's data type: internal or external loopback
  const char* name;
};

const LoopCase kLoops[] = {
    {BoardModel::R83, BoardVariant::Tx, 0x400, 0x2000, 1, "R83_TX_internal"},
    {BoardModel::R83, BoardVariant::Tx, 0x800, 0x4000, 2, "R83_TX_phy"},
    {BoardModel::R51, BoardVariant::Tx, 0x400, 0x2000, 1, "R51_TX_internal"},
    {BoardModel::R51, BoardVariant::Tx, 0x800, 0x4000, 2, "R51_TX_phy"},
    {BoardModel::R83, BoardVariant::Fx, 0x400, 0x2000, 1, "R83_FX_internal"},
    {BoardModel::R83, BoardVariant::Fx, 0x800, 0x4000, 2, "R83_FX_phy"},
};

class GoodBoardLoopback : public testing::TestWithParam<LoopCase> {};

TEST_P(GoodBoardLoopback, FrameComesBackIntactWithItsCrc) {
  const LoopCase& k = GetParam();
  BoardBench b(BoardConfig(k.model, k.variant));
  RecordingStation wire;
  b.segment().attach(&wire);
  ASSERT_EQ(checks::LoopbackFrame(b, k.mode, k.phyControl, k.model == BoardModel::R83), "");
  EXPECT_EQ(b.word(0x00), 0u);  // sent without error
  // Received: FS, LS, 256 bytes + CRC, no errors; bytes 12 and 13 (0x0c0d)
  // make it a type frame.
  EXPECT_EQ(b.word(0x800), 260u << 16 | 0x320 | k.dataType << 12);
  std::vector<uint8_t> sent(256);
  for (int i = 0; i < 256; ++i) sent[i] = static_cast<uint8_t>(i);
  const std::vector<uint8_t> expected = WithCrc(sent);
  EXPECT_EQ(std::vector<uint8_t>(b.dma(0x820), b.dma(0x820 + 260)), expected);
  EXPECT_EQ(b.csr(5) & 0x45, 0x44u);  // RI, TU (ring of one); no TI without IC
  EXPECT_EQ(checks::LoopbackWithoutBusMaster(b, k.mode), "");
  EXPECT_TRUE(wire.frames.empty());  // nothing reached the segment
}

INSTANTIATE_TEST_SUITE_P(Modes, GoodBoardLoopback, testing::ValuesIn(kLoops),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Dec21143Loopback, FaultsFailTheLoopbackTests) {
  struct Case {
    const char* name;
    void (*apply)(sim::BoardFaults&);
    std::string internal;
    std::string phy;
  } cases[] = {
      {"drops", [](sim::BoardFaults& f) { f.chip.loopbackDrops = true; }, "Timeout on loopback reception",
       "Timeout on loopback reception"},
      {"corrupts byte 0x80", [](sim::BoardFaults& f) { f.chip.loopbackCorruptByte = 0x80; }, "Byte 80 wrong",
       "Byte 80 wrong"},
      {"DMA without bus master", [](sim::BoardFaults& f) { f.chip.dmaWithoutBusMaster = true; },
       "Transmit DMA occurred while disabled!", "Transmit DMA occurred while disabled!"},
      {"no PHY", [](sim::BoardFaults& f) { f.noPhy = sim::Csr9Lines::MdioFault::NothingAttached; }, "",
       "Timeout on loopback reception"},
      {"link down", [](sim::BoardFaults& f) { f.phy.linkDown = true; }, "", ""},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.name);
    sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
    k.apply(c.faults);
    BoardBench b(c);
    EXPECT_EQ(checks::Loopback(b, 0x400, 0x2000, true), k.internal);
    EXPECT_EQ(checks::Loopback(b, 0x800, 0x4000, true), k.phy);
  }
}

TEST(Dec21143Loopback, RefusedWithoutBusMastering) {
  BoardBench b(BoardConfig(BoardModel::R83));
  b.setCfg(0x04, 0x0003);
  EXPECT_EQ(checks::Loopback(b, 0x400, 0x2000, true), "Bus mastering disabled");
}

// ---- Transmit to the wire ----

class Dec21143Wire : public testing::Test {
 protected:
  Dec21143Wire() : b(BoardConfig(BoardModel::R83)) {
    b.segment().attach(&peer);
    checks::CardReset(b);
  }

  // CSR6 with the MII port, heartbeat off, and the given bits.
  void start(uint32_t bits) { b.setCsr(6, 0x020C0000 | bits); }

  std::vector<uint8_t> frame(size_t length, uint8_t seed = 0) { return TestFrame(kBoardMac, kPeer, length, seed); }

  void put(uint32_t offset, const std::vector<uint8_t>& bytes) { std::memcpy(b.dma(offset), bytes.data(), bytes.size()); }

  BoardBench b;
  RecordingStation peer;
};

TEST_F(Dec21143Wire, RingWithSkipLengthAndBothBuffers) {
  const auto f1 = TestFrame(kPeer, kBoardMac, 150, 1);
  const auto f2 = TestFrame(kPeer, kBoardMac, 50, 2);
  put(0x1000, f1);
  put(0x2000, f2);
  // Descriptors 24 bytes apart (skip 2 longwords): f1 in two buffers with IC,
  // f2 over two descriptors, the last with TER.
  b.setCsr(0, 2 << 2);
  b.descriptor(0x00, 0x80000000, 0xE0000000 | 50 << 11 | 100, b.phys(0x1000), b.phys(0x1064));
  b.descriptor(0x18, 0x80000000, 0x20000000 | 20, b.phys(0x2000));
  b.descriptor(0x30, 0x80000000, 0x42000000 | 30, b.phys(0x2014));
  b.setCsr(4, b.phys(0));
  start(0x2000);
  ASSERT_EQ(peer.frames.size(), 2u);
  EXPECT_EQ(peer.frames[0], f1);
  std::vector<uint8_t> padded = f2;
  padded.resize(60, 0);
  EXPECT_EQ(peer.frames[1], padded);
  EXPECT_EQ(b.word(0x00), 0u);
  EXPECT_EQ(b.word(0x18), 0u);
  EXPECT_EQ(b.word(0x30), 0u);
  // Back at the first descriptor, which the host owns now: suspended.
  EXPECT_EQ(b.csr(5) & 0x00700005, 0x00600005u);  // TS 6, TU, TI
  // A poll demand after handing it back sends it again.
  b.setWord(0x00, 0x80000000);
  b.setCsr(1, 0);
  EXPECT_EQ(peer.frames.size(), 3u);
}

TEST_F(Dec21143Wire, ChainedDescriptors) {
  const uint32_t at[3] = {0x40, 0x300, 0x120};
  for (int i = 0; i < 3; ++i) {
    put(0x1000 + 0x600 * i, TestFrame(kPeer, kBoardMac, 64 + i, static_cast<uint8_t>(i)));
    const uint32_t next = b.phys(at[(i + 1) % 3]);
    b.descriptor(at[i], 0x80000000, 0x61000000 | (64 + i), b.phys(0x1000 + 0x600 * i), next);
  }
  b.setWord(at[2], 0);  // the host keeps the third
  b.setCsr(4, b.phys(at[0]));
  start(0x2000);
  ASSERT_EQ(peer.frames.size(), 2u);
  EXPECT_EQ(peer.frames[1].size(), 65u);
  EXPECT_EQ(peer.frames[1][14], 15);  // the seed 1 frame
  b.setWord(at[2], 0x80000000);
  b.setCsr(1, 0);
  ASSERT_EQ(peer.frames.size(), 3u);
  EXPECT_EQ(peer.frames[2].size(), 66u);
}

TEST_F(Dec21143Wire, LinkDownReportsLostCarrier) {
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
  c.faults.phy.linkDown = true;
  BoardBench down(c);
  RecordingStation station;
  down.segment().attach(&station);
  std::memcpy(down.dma(0x1000), frame(100).data(), 100);
  down.descriptor(0x00, 0x80000000, 0x62000000 | 100, down.phys(0x1000));
  down.setCsr(4, down.phys(0));
  down.setCsr(6, 0x020C2000);
  EXPECT_EQ(down.word(0x00), 0x00008C00u);  // ES, loss of carrier, no carrier
  EXPECT_TRUE(station.frames.empty());
  EXPECT_EQ(adapter_mii_read(down.adapter(), 1) & 0x0004, 0);
}

// ---- Receive ----

TEST_F(Dec21143Wire, LongFrameSpreadsOverChainedDescriptors) {
  b.descriptor(0x800, 0x80000000, 0x01000000 | 1024, b.phys(0x2000), b.phys(0x900));
  b.descriptor(0x900, 0x80000000, 0x01000000 | 1024, b.phys(0x2400), b.phys(0x800));
  b.setCsr(3, b.phys(0x800));
  start(0x0040 | 0x0002);  // promiscuous, receive
  const auto f = frame(1514, 9);
  b.segment().transmit(&peer, f.data(), f.size());
  EXPECT_EQ(b.word(0x800), 0x0200u | 1024u << 16);  // FS, bytes so far
  EXPECT_EQ(b.word(0x900), 0x0120u | 1518u << 16);  // LS, frame type, FL with CRC
  EXPECT_EQ(std::vector<uint8_t>(b.dma(0x2000), b.dma(0x2000 + 1518)), WithCrc(f));
  // RI; the next descriptor is the host's: RU, suspended.
  EXPECT_EQ(b.csr(5) & 0x000E00C0, 0x000800C0u);
}

TEST_F(Dec21143Wire, RingReceiveUsesBothBuffers) {
  b.descriptor(0x800, 0x80000000, 0x02000000 | 40 << 11 | 32, b.phys(0x2000), b.phys(0x2100));
  b.setCsr(3, b.phys(0x800));
  start(0x0042);
  const auto f = frame(60);
  b.segment().transmit(&peer, f.data(), f.size());
  EXPECT_EQ(b.word(0x800), 0x0320u | 64u << 16);
  std::vector<uint8_t> got(b.dma(0x2000), b.dma(0x2000 + 32));
  got.insert(got.end(), b.dma(0x2100), b.dma(0x2100 + 32));
  EXPECT_EQ(got, WithCrc(f));
}

TEST_F(Dec21143Wire, BufferUnavailableCountsMissedFrames) {
  for (uint32_t i = 0; i < 2; ++i) {
    b.descriptor(0x800 + 16 * i, 0x80000000, (i == 1 ? 0x02000000u : 0u) | 1518, b.phys(0x2000 + 0x600 * i));
  }
  b.setCsr(3, b.phys(0x800));
  start(0x0042);
  const auto f = frame(100);
  for (int i = 0; i < 5; ++i) b.segment().transmit(&peer, f.data(), f.size());
  EXPECT_EQ(b.board().stats().framesReceived, 2u);
  EXPECT_EQ(b.csr(5) & 0x000E0080, 0x00080080u);  // RU, suspended
  EXPECT_EQ(b.csr(8), 0xE0000003u);
  EXPECT_EQ(b.csr(8), 0xE0000000u);  // cleared by the read
  // The next frame looks at the descriptor again: handed back, it is used.
  b.setCsr(5, 0xFFFFFFFF);
  b.setWord(0x800, 0x80000000);
  b.segment().transmit(&peer, f.data(), f.size());
  EXPECT_EQ(b.board().stats().framesReceived, 3u);
  EXPECT_EQ(b.csr(5) & 0x000E00C0, 0x000800C0u);  // RI, and RU at the host's descriptor 1
  EXPECT_EQ(b.csr(8), 0xE0000000u);
  // A receive poll demand resumes a suspended process as well.
  b.segment().transmit(&peer, f.data(), f.size());  // descriptor 1 is the host's: missed
  EXPECT_EQ(b.csr(5) & 0x000E0000, 0x00080000u);
  b.setWord(0x810, 0x80000000);
  b.setCsr(2, 0);
  EXPECT_EQ(b.csr(5) & 0x000E0000, 0x00060000u);
  EXPECT_EQ(b.csr(8), 0xE0000001u);
}

TEST_F(Dec21143Wire, NoDmaWithoutBusMastering) {
  put(0x1000, frame(100));
  b.descriptor(0x00, 0x80000000, 0x62000000 | 100, b.phys(0x1000));
  b.descriptor(0x800, 0x80000000, 0x02000000 | 1518, b.phys(0x2000));
  b.setCsr(4, b.phys(0));
  b.setCsr(3, b.phys(0x800));
  b.setCfg(0x04, 0x0003);
  start(0x2042);
  b.setCsr(1, 0);
  const auto f = frame(80);
  b.segment().transmit(&peer, f.data(), f.size());
  b.skip(10000);
  EXPECT_EQ(b.word(0x00), 0x80000000u);
  EXPECT_EQ(b.word(0x800), 0x80000000u);
  EXPECT_TRUE(peer.frames.empty());
  // The fetches were waiting for the bus: they go on once it is granted.
  b.setCfg(0x04, 0x0007);
  b.skip(1);
  EXPECT_EQ(peer.frames.size(), 1u);
  EXPECT_EQ(b.word(0x00), 0u);
  EXPECT_EQ(b.word(0x800) >> 16, 84u);
}

TEST_F(Dec21143Wire, CrcErrorOnEveryNthFrame) {
  sim::AdapterBoardConfig c = BoardConfig(BoardModel::R83);
  c.faults.chip.rxCrcErrorEvery = 2;
  BoardBench bad(c);
  RecordingStation station;
  bad.segment().attach(&station);
  for (uint32_t i = 0; i < 4; ++i) bad.descriptor(0x800 + 16 * i, 0x80000000, 1518, bad.phys(0x2000 + 0x600 * i));
  bad.setCsr(3, bad.phys(0x800));
  bad.setCsr(6, 0x020C0042);
  const auto f = frame(100);
  for (int i = 0; i < 4; ++i) bad.segment().transmit(&station, f.data(), f.size());
  const std::vector<uint8_t> good = WithCrc(f);
  for (uint32_t i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const bool crcError = i % 2 == 1;
    EXPECT_EQ(bad.word(0x800 + 16 * i), 104u << 16 | 0x320 | (crcError ? 0x8002u : 0u));
    EXPECT_EQ(*bad.dma(0x2000 + 0x600 * i + 100) == good[100], !crcError);
  }
}

// ---- Setup frames and filtering ----

void SetAddress(uint8_t* setup, int longword, const uint8_t* a) {
  for (int i = 0; i < 3; ++i) {
    setup[4 * (longword + i)] = a[2 * i];
    setup[4 * (longword + i) + 1] = a[2 * i + 1];
  }
}

void SetHashBit(uint8_t* setup, int bit) { setup[4 * (bit / 16) + (bit % 16) / 8] |= 1 << (bit % 8); }

struct FilterCase {
  const char* name;
  uint32_t filterType;  // FT1, FT0 of the setup descriptor
  uint32_t csr6Bits;    // PR, PM
  uint32_t modeBits;    // what CSR6 shows afterwards
  std::vector<std::pair<std::array<uint8_t, 6>, bool>> frames;
};

TEST_F(Dec21143Wire, SetupFramesLoadTheFilter) {
  const std::array<uint8_t, 6> me{0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
  const std::array<uint8_t, 6> other{0x00, 0x40, 0x05, 0x12, 0x34, 0x57};
  const std::array<uint8_t, 6> broadcast{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  const std::array<uint8_t, 6> group{0x01, 0x00, 0x5E, 0x00, 0x00, 0x01};
  const std::array<uint8_t, 6> otherGroup{0x01, 0x00, 0x5E, 0x00, 0x00, 0x02};
  ASSERT_NE(sim::SetupFilter::HashIndex(otherGroup.data()), sim::SetupFilter::HashIndex(group.data()));
  ASSERT_NE(sim::SetupFilter::HashIndex(other.data()), sim::SetupFilter::HashIndex(me.data()));

  const FilterCase cases[] = {
      {"perfect", 0, 0, 0x00, {{me, true}, {broadcast, true}, {group, true}, {other, false}, {otherGroup, false}}},
      {"perfect, all multicast", 0, 0x80, 0x00, {{other, false}, {otherGroup, true}}},
      {"perfect, promiscuous", 0, 0x40, 0x00, {{other, true}, {otherGroup, true}}},
      {"inverse", 0x10000000, 0, 0x10, {{me, false}, {broadcast, false}, {other, true}, {otherGroup, true}}},
      {"hash", 0x00400000, 0, 0x01, {{me, true}, {broadcast, true}, {group, true}, {other, false}, {otherGroup, false}}},
      {"hash only", 0x10400000, 0, 0x05, {{me, true}, {broadcast, true}, {group, true}, {other, false}, {otherGroup, false}}},
  };
  for (const FilterCase& k : cases) {
    SCOPED_TRACE(k.name);
    checks::CardReset(b);
    peer.frames.clear();
    // The setup frame: perfect entries me, broadcast, group (the rest copies
    // of me), or in hash modes the bits of those three and me as the perfect address.
    uint8_t* setup = b.dma(0x700);
    std::memset(setup, 0, 192);
    if (k.filterType == 0x00400000 || k.filterType == 0x10400000) {
      for (const auto* a : {&me, &broadcast, &group}) SetHashBit(setup, sim::SetupFilter::HashIndex(a->data()));
      if (k.filterType == 0x00400000) SetAddress(setup, 39, me.data());
    } else {
      for (int e = 0; e < 16; ++e) SetAddress(setup, 3 * e, me.data());
      SetAddress(setup, 3, broadcast.data());
      SetAddress(setup, 6, group.data());
    }
    // An empty descriptor, then the setup descriptor (ring end).
    b.descriptor(0x00, 0x80000000, 0);
    b.descriptor(0x10, 0x80000000, 0x0A0000C0 | k.filterType, b.phys(0x700));
    for (uint32_t i = 0; i < 8; ++i) b.descriptor(0x800 + 16 * i, 0x80000000, 1518, b.phys(0x2000 + 0x600 * i));
    b.setCsr(4, b.phys(0));
    b.setCsr(3, b.phys(0x800));
    start(0x2002 | k.csr6Bits);
    EXPECT_EQ(b.word(0x00), 0x7FFFFFFFu);
    EXPECT_EQ(b.word(0x10), 0x7FFFFFFFu);
    EXPECT_TRUE(peer.frames.empty());  // setup frames stay in the chip
    EXPECT_EQ(b.csr(6) & 0x15, k.modeBits);
    for (const auto& [destination, passes] : k.frames) {
      const uint64_t before = b.board().stats().framesReceived;
      std::vector<uint8_t> f = frame(64);
      std::memcpy(f.data(), destination.data(), 6);
      b.segment().transmit(&peer, f.data(), f.size());
      EXPECT_EQ(b.board().stats().framesReceived - before, passes ? 1u : 0u)
          << checks::Hex(destination[0]) << ":" << checks::Hex(destination[5]);
    }
  }
}

}  // namespace
