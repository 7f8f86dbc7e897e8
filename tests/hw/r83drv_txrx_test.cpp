// Transmit, receive and the counters of the packet engine on the simulated chip.
#include <gtest/gtest.h>

#include "hw/engine_bench.h"
#include "hw/r83drv_regs.h"

namespace {

class R83drvLoopback : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(b.Open(kLoopbackOpMode), 0); }
  EngineBench b{Board(sim::BoardPhy::Lxt971)};
};

TEST_F(R83drvLoopback, FramesComeBackWholeThroughEveryRecordOfBothRings) {
  std::vector<uint8_t> in;
  uint64_t bytes = 0;
  const uint32_t lengths[] = {60, 1514, 61, 777};
  for (uint32_t n = 0; n < 40; ++n) {
    const uint32_t length = lengths[n % 4];
    const std::vector<uint8_t> out = b.ToSelf(length, n);
    ASSERT_TRUE(b.Send(out)) << n;
    ASSERT_TRUE(b.Receive(&in)) << n;
    EXPECT_EQ(in, out) << n;
    bytes += length;
  }
  EXPECT_FALSE(b.Receive(&in));
  b.a()->service(b.a());
  EXPECT_EQ(b.a()->txframes, 40u);
  EXPECT_EQ(b.a()->rxframes, 40u);
  EXPECT_EQ(b.a()->txbytes, bytes);
  EXPECT_EQ(b.a()->rxbytes, bytes);
  EXPECT_EQ(b.a()->get_counter(b.a(), 0, R83_COUNTER_TXFRAMES), 40u);
  EXPECT_EQ(b.a()->get_counter(b.a(), 0, R83_COUNTER_RXFRAMES), 40u);
  EXPECT_EQ(b.a()->txerrors + b.a()->rxerrors, 0u);
}

TEST_F(R83drvLoopback, AShortFrameIsReceivedPaddedToTheMinimum) {
  std::vector<uint8_t> in;
  ASSERT_TRUE(b.Send(b.ToSelf(20)));
  ASSERT_TRUE(b.Receive(&in));
  EXPECT_EQ(in.size(), 60u);  // 64 bytes on the wire: FL 64 less the CRC
}

TEST_F(R83drvLoopback, FramesWaitOnTheReadyListUntilTaken) {
  for (uint32_t n = 0; n < 5; ++n) ASSERT_TRUE(b.Send(b.ToSelf(100, n)));
  b.a()->service(b.a());
  int waiting = 0;
  for (RxDesc* rd = b.a()->rxready; rd != nullptr; rd = rd->next) ++waiting;
  EXPECT_EQ(waiting, 5);
  std::vector<uint8_t> in;
  for (uint32_t n = 0; n < 5; ++n) {
    ASSERT_TRUE(b.Receive(&in));
    EXPECT_EQ(in, b.ToSelf(100, n));
  }
}

TEST_F(R83drvLoopback, ReservationStopsAtFifteenOutstandingFrames) {
  Adapter* a = b.a();
  b.setCsr(6, b.csr(6) & ~0x2000u);  // the chip holds on to what it gets
  for (int n = 0; n < 15; ++n) ASSERT_TRUE(b.Send(b.ToSelf(60, n))) << n;
  EXPECT_EQ(a->txfree, 0u);
  EXPECT_FALSE(b.Send(b.ToSelf(60)));
  // Transmission resumes; the next reclaim frees the ring.
  b.setCsr(6, b.csr(6) | 0x2000u);
  a->service(a);
  EXPECT_EQ(a->txfree, 15u);
  EXPECT_TRUE(b.Send(b.ToSelf(60)));
}

TEST_F(R83drvLoopback, ReserveGrantsWhatIsFreeAndWrapsAroundTheRing) {
  Adapter* a = b.a();
  // Open left the ring at record 4 (two setup frames); move it on to record 2.
  a->service(a);
  ASSERT_EQ(a->txnext, &a->td[4]);
  for (int n = 0; n < 14; ++n) ASSERT_TRUE(b.Send(b.ToSelf(60)));
  a->service(a);
  ASSERT_EQ(a->txnext, &a->td[2]);
  ASSERT_EQ(a->txfree, 15u);
  // Twelve outstanding frames leave three records: 14, 15 and 0.
  b.setCsr(6, b.csr(6) & ~0x2000u);
  for (int n = 0; n < 12; ++n) ASSERT_TRUE(b.Send(b.ToSelf(60)));
  ASSERT_EQ(a->txfree, 3u);

  uint32_t count = 5;
  TxDesc* first = a->tx_reserve(a, &count);
  EXPECT_EQ(count, 3u);
  EXPECT_EQ(first, &a->td[14]);
  EXPECT_EQ(a->txnext, &a->td[1]);
  EXPECT_EQ(a->txfree, 0u);
  for (TxDesc* td = first; td != a->txnext; td = td->next) td->len = 60;
  a->tx_send(a, first, count);
  b.setCsr(6, b.csr(6) | 0x2000u);
  a->service(a);
  EXPECT_EQ(a->txfree, 15u);
  EXPECT_EQ(a->txframes, 14u + 12u + 3u);
}

TEST_F(R83drvLoopback, InterruptAndEndOfRingBitsFollowTheRecordIndex) {
  Adapter* a = b.a();
  b.setCsr(6, b.csr(6) & ~0x2000u);
  // Fifteen frames from record 4 round to record 2.
  for (int n = 0; n < 15; ++n) ASSERT_TRUE(b.Send(b.ToSelf(60)));
  ASSERT_EQ(a->txnext, &a->td[3]);
  for (int i = 4; i < 19; ++i) {
    const int r = i % 16;
    const uint32_t control = r == 7 ? 0xE0000000u : r == 15 ? 0xE2000000u : 0x60000000u;
    EXPECT_EQ(a->td[r].hw->tdes1, control | 60) << r;
  }
}

TEST(R83drvReceive, CrcErrorsAreCountedAndNeverHandedOn) {
  // A chip that spoils every third frame's CRC.
  sim::AdapterBoardConfig c = Board(sim::BoardPhy::Lxt971);
  c.faults.chip.rxCrcErrorEvery = 3;
  EngineBench bad(c);
  ASSERT_EQ(bad.Open(kLoopbackOpMode), 0);
  std::vector<uint8_t> in;
  int received = 0;
  for (uint32_t n = 0; n < 30; ++n) {
    ASSERT_TRUE(bad.Send(bad.ToSelf(200, n)));
    while (bad.Receive(&in)) {
      EXPECT_EQ(in.size(), 200u);
      ++received;
    }
  }
  Adapter* a = bad.a();
  EXPECT_EQ(received, 20);
  EXPECT_EQ(a->rxerrors, 10u);
  EXPECT_EQ(a->crcerrors, 10u);
  EXPECT_EQ(a->get_counter(a, 0, R83_COUNTER_CRCERRORS), 10u);
  EXPECT_EQ(a->rxframes, 20u);
  // The chain keeps its shape: the end marker is the host's, all others the chip's.
  EXPECT_EQ(a->rxtail->hw->rdes0 & 0x80000000u, 0u);
  int chipOwned = 0;
  for (RxDesc* rd = a->rxhead; rd != a->rxtail; rd = rd->next) chipOwned += (rd->hw->rdes0 & 0x80000000u) ? 1 : 0;
  EXPECT_EQ(chipOwned, 15);
}

TEST_F(R83drvLoopback, FramesBeyondTheChainAreCountedAsMissed) {
  // Nothing is returned: 15 buffers fill, the rest find the end marker.
  for (uint32_t n = 0; n < 20; ++n) ASSERT_TRUE(b.Send(b.ToSelf(100, n)));
  b.a()->service(b.a());
  EXPECT_EQ(b.a()->rxframes, 15u);
  EXPECT_EQ(b.a()->missed, 5u);
  EXPECT_EQ(b.a()->get_counter(b.a(), 0, R83_COUNTER_MISSED), 5u);
  // Once buffers come back, reception goes on without a poll demand.
  std::vector<uint8_t> in;
  while (b.Receive(&in)) {
  }
  ASSERT_TRUE(b.Send(b.ToSelf(100, 99)));
  ASSERT_TRUE(b.Receive(&in));
  EXPECT_EQ(in, b.ToSelf(100, 99));
}

TEST(R83drvCounters, UnknownIndexesAnswerZero) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  Adapter* a = b.a();
  a->txframes = 1;
  a->rxframes = 2;
  a->txerrors = 3;
  a->rxerrors = 4;
  a->missed = 5;
  a->crcerrors = 6;
  a->dribble = 7;
  a->collisions = 8;
  a->deferred = 10;
  a->excesscoll = 11;
  a->underflows = 12;
  a->carrier = 13;
  for (uint32_t index = 0; index < 16; ++index) {
    const uint32_t expected = (index == 0 || index == 9 || index > 13) ? 0 : index;
    EXPECT_EQ(a->get_counter(a, 0, index), expected) << index;
  }
}

TEST(R83drvTransmit, FramesWithoutCarrierCountAsCarrierErrors) {
  EngineBench b(Board(sim::BoardPhy::Lxt971), /*cabled=*/false);
  ASSERT_EQ(b.Open(), 0);
  Adapter* a = b.a();
  ASSERT_EQ(a->set_media(a, 0, R83_MEDIA_10T), 0);  // half duplex: carrier counts
  uint32_t count = 1;
  TxDesc* td = a->tx_reserve(a, &count);
  ASSERT_EQ(count, 1u);
  td->len = 60;
  a->tx_send(a, td, 1);
  a->service(a);
  EXPECT_EQ(td->status, R83_TX_FAILED);
  EXPECT_EQ(a->txframes, 0u);
  EXPECT_EQ(a->txerrors, 1u);
  EXPECT_EQ(a->carrier, 1u);
  EXPECT_EQ(a->get_counter(a, 0, R83_COUNTER_CARRIER), 1u);
}

class R83drvWire : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(b.Open(), 0); }
  // A frame arriving from the cable.
  void Arrive(const std::vector<uint8_t>& frame) { b.board().receiveFrame(frame.data(), frame.size()); }
  EngineBench b{Board(sim::BoardPhy::Lxt971)};
};

TEST_F(R83drvWire, AFrameSpreadOverTwoDescriptorsIsDiscardedAndCounted) {
  Arrive(b.ToSelf(2000));
  Arrive(b.ToSelf(300, 1));
  std::vector<uint8_t> in;
  ASSERT_TRUE(b.Receive(&in));
  EXPECT_EQ(in, b.ToSelf(300, 1));
  EXPECT_FALSE(b.Receive(&in));
  EXPECT_EQ(b.a()->rxdiscards, 1u);
  EXPECT_EQ(b.a()->rxerrors, 1u);
  EXPECT_EQ(b.a()->rxframes, 1u);
  // Both pieces went back to the chain.
  for (int n = 0; n < 20; ++n) {
    Arrive(b.ToSelf(100, n));
    ASSERT_TRUE(b.Receive(&in)) << n;
  }
}

TEST_F(R83drvWire, ALengthThatCannotBeOneBuffersIsNeverCopiedOut) {
  const uint32_t lengths[] = {2, 3, 1519, 0x3FFF};
  for (uint32_t fl : lengths) {
    SCOPED_TRACE(fl);
    RxDesc* rd = b.a()->rxhead;
    Arrive(b.ToSelf(100));
    ASSERT_EQ(rd->hw->rdes0 & 0x80000000u, 0u);
    rd->hw->rdes0 = (rd->hw->rdes0 & 0xC000FFFFu) | (fl << 16);  // as a faulty part could report it
    const uint32_t discards = b.a()->rxdiscards;
    std::vector<uint8_t> in;
    EXPECT_FALSE(b.Receive(&in));
    EXPECT_EQ(b.a()->rxdiscards, discards + 1);
  }
  std::vector<uint8_t> in;
  Arrive(b.ToSelf(1514));
  ASSERT_TRUE(b.Receive(&in));
  EXPECT_EQ(in.size(), 1514u);
}

// ---- Underflow and stop waits on a scripted chip ----

// A chip reduced to its CSRs: CSR5 shows a transmit underflow once and the
// transmit state as long as the test wants; the clock moves with the delays.
class UnderflowChip : public PCI_System {
 public:
  bool MapWindow(uint32_t, uint32_t) override { return false; }
  void UnmapWindow() override {}
  void WritePort32(uint16_t, uint32_t) override {}
  uint32_t ReadPort32(uint16_t) override { return 0xFFFFFFFF; }
  void WriteMem32(uint32_t offset, uint32_t value) override {
    const uint32_t n = (offset & 0xFFF) / 8;
    if (n == 5) {
      events &= ~value;
    } else if (n == 6) {
      csr6Writes.push_back(value);
      csr6 = value;
      if (!(value & 0x2000) && stopsAfter > 0) --stopsAfter;
    } else if (n < 16) {
      csr[n] = value;
    }
  }
  uint32_t ReadMem32(uint32_t offset) override {
    const uint32_t n = (offset & 0xFFF) / 8;
    if (n == 5) return events | (stopsAfter > 0 ? 0x00100000u : 0u);
    if (n == 6) return csr6;
    return n < 16 ? csr[n] : 0;
  }
  void WriteMem16(uint32_t, uint16_t) override {}
  uint16_t ReadMem16(uint32_t) override { return 0; }
  void WriteMem8(uint32_t, uint8_t) override {}
  uint8_t ReadMem8(uint32_t) override { return 0; }
  void StartTimeout(int) override {}
  bool TimedOut() override { return false; }
  void DelayMicroseconds(uint32_t us) override { now += us; }
  void SleepMilliseconds(uint32_t ms) override { now += uint64_t{ms} * 1000; }
  int64_t WallClockSeconds() override { return static_cast<int64_t>(now / 1000000); }
  uint64_t MonotonicMicroseconds() override { return now; }

  uint32_t events = 0;
  uint32_t csr6 = 0;
  int stopsAfter = 0;  // writes without ST before the transmit process reads stopped
  uint32_t csr[16] = {};
  std::vector<uint32_t> csr6Writes;
  uint64_t now = 0;
};

TEST(R83drvUnderflow, EachUnderflowRaisesTheThresholdThenSwitchesToStoreAndForward) {
  UnderflowChip chip;
  Adapter a;
  a.host = &chip;
  chip.csr6 = 0x020C2002;
  const uint32_t expected[] = {0x020C6002, 0x020CA002, 0x020CE002, 0x022CE002, 0x022CE002};
  for (uint32_t want : expected) {
    chip.events = r83::CSR5_UNF;
    chip.stopsAfter = 3;
    chip.csr6Writes.clear();
    ASSERT_EQ(r83drv_service(&a), 0);
    EXPECT_EQ(chip.csr6, want);
    // Stopped (three tries), the new threshold stopped, then started.
    ASSERT_EQ(chip.csr6Writes.size(), 5u);
    EXPECT_EQ(chip.csr6Writes[3], want & ~0x2000u);
    EXPECT_EQ(chip.events, 0u);
  }
}

TEST(R83drvUnderflow, ATransmitterThatNeverStopsIsReportedAfterASecond) {
  UnderflowChip chip;
  Adapter a;
  a.host = &chip;
  chip.csr6 = 0x020C2002;
  chip.events = r83::CSR5_UNF;
  chip.stopsAfter = 1 << 30;
  EXPECT_EQ(r83drv_service(&a), -1);
  EXPECT_STREQ(a.lasterror, "DEC 21143 transmit process does not stop");
  EXPECT_GE(chip.now, 1000000u);
  EXPECT_LT(chip.now, 1100000u);
  EXPECT_EQ(chip.csr6, 0x020C2002u);  // running on at the old threshold
}

TEST(R83drvService, CountsMissedFramesFromCsr8) {
  UnderflowChip chip;
  Adapter a;
  a.host = &chip;
  const struct {
    uint32_t csr8;
    uint32_t added;
  } cases[] = {{0x00010000, 65536}, {0x0000002A, 42}, {0x0001FFFF, 65536}};
  uint32_t total = 0;
  for (const auto& c : cases) {
    chip.events = r83::CSR5_RU;
    chip.csr[8] = c.csr8;
    ASSERT_EQ(r83drv_service(&a), 0);
    total += c.added;
    EXPECT_EQ(a.missed, total);
  }
}

TEST(R83drvService, ABusyChipCannotHoldTheCallerForEver) {
  // CSR5 that never clears: the service gives up after its passes.
  class StuckStatus : public UnderflowChip {
   public:
    void WriteMem32(uint32_t offset, uint32_t value) override {
      if ((offset & 0xFFF) / 8 == 5) return;
      UnderflowChip::WriteMem32(offset, value);
    }
  } chip;
  Adapter a;
  a.host = &chip;
  chip.events = r83::CSR5_RU;
  chip.csr[8] = 1;
  EXPECT_EQ(r83drv_service(&a), 0);
  EXPECT_EQ(a.missed, 32u);
}

// ---- Invariant checks ----

TEST(R83drvDeathTest, ReturningAForeignRecordStopsTheProgram) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  RxDesc foreign;
  EXPECT_DEATH(b.a()->rx_return(b.a(), &foreign),
               "Assertion failed: rdIndex >= 0 && rdIndex < \\(int\\)a->rdcount, file r83drv");
}

TEST(R83drvDeathTest, SendingARecordTheChipStillOwnsStopsTheProgram) {
  EngineBench b(Board(sim::BoardPhy::Lxt971));
  ASSERT_EQ(b.Init(), 0);
  TxDesc* td = &b.a()->td[0];
  td->hw->tdes0 = 0x80000000;
  EXPECT_DEATH(b.a()->tx_send(b.a(), td, 1), "Assertion failed: \\(td->hw->tdes0 & 0x80000000\\) == 0, file r83drv");
}

}  // namespace
