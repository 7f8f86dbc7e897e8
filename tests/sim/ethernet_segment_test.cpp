#include "sim/ethernet_segment.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "sim/clock.h"
#include "sim/ethernet_test_station.h"

namespace {

const uint8_t kA[6] = {0x02, 0, 0, 0, 0, 0x0A};
const uint8_t kB[6] = {0x02, 0, 0, 0, 0, 0x0B};

TEST(EthernetSegment, FrameReachesEveryOtherAttachmentButNotTheSender) {
  sim::EthernetSegment segment("lan");
  RecordingStation a, b, c;
  segment.attach(&a);
  segment.attach(&b);
  segment.attach(&b);  // twice: still one attachment
  segment.attach(&c);
  EXPECT_EQ(segment.attachmentCount(), 3u);

  const auto frame = TestFrame(kB, kA, 60);
  segment.transmit(&a, frame.data(), frame.size());
  EXPECT_TRUE(a.frames.empty());
  ASSERT_EQ(b.frames.size(), 1u);
  ASSERT_EQ(c.frames.size(), 1u);
  EXPECT_EQ(b.frames[0], frame);
  EXPECT_EQ(c.frames[0], frame);

  segment.detach(&c);
  EXPECT_FALSE(segment.isAttached(&c));
  segment.transmit(&b, frame.data(), frame.size());
  EXPECT_EQ(a.frames.size(), 1u);
  EXPECT_EQ(b.frames.size(), 1u);
  EXPECT_EQ(c.frames.size(), 1u);
  EXPECT_EQ(segment.stats().framesCarried, 2u);
}

TEST(EthernetSegment, AttachmentsMayChangeFromInsideADelivery) {
  sim::EthernetSegment segment("lan");
  RecordingStation first, second, third, late;
  segment.attach(&first);
  segment.attach(&second);
  segment.attach(&third);
  // The first receiver detaches itself and the third and brings in a new one.
  first.onFrame = [&](const uint8_t*, size_t) {
    segment.detach(&first);
    segment.detach(&third);
    segment.attach(&late);
  };
  const auto frame = TestFrame(kB, kA, 60);
  segment.transmit(nullptr, frame.data(), frame.size());
  EXPECT_EQ(first.frames.size(), 1u);
  EXPECT_EQ(second.frames.size(), 1u);
  EXPECT_TRUE(third.frames.empty());
  EXPECT_TRUE(late.frames.empty());  // joined during this frame
  EXPECT_EQ(segment.attachmentCount(), 2u);

  segment.transmit(nullptr, frame.data(), frame.size());
  EXPECT_EQ(first.frames.size(), 1u);
  EXPECT_EQ(second.frames.size(), 2u);
  EXPECT_EQ(late.frames.size(), 1u);
}

TEST(EthernetSegment, AReceiverMayAnswerFromInsideADelivery) {
  sim::EthernetSegment segment("lan");
  RecordingStation a, b;
  segment.attach(&a);
  segment.attach(&b);
  b.onFrame = [&](const uint8_t* f, size_t n) {
    if (b.frames.size() == 1) segment.transmit(&b, f, n);
  };
  const auto frame = TestFrame(kB, kA, 60);
  segment.transmit(&a, frame.data(), frame.size());
  EXPECT_EQ(a.frames.size(), 1u);
  EXPECT_EQ(b.frames.size(), 1u);
}

TEST(EthernetSegment, ACutSegmentCarriesNothing) {
  sim::EthernetSegment segment("lan");
  RecordingStation a, b;
  segment.attach(&a);
  segment.attach(&b);
  EXPECT_TRUE(segment.linkUp());
  segment.setLinkUp(false);
  EXPECT_FALSE(segment.linkUp());
  const auto frame = TestFrame(kB, kA, 60);
  segment.transmit(&a, frame.data(), frame.size());
  EXPECT_TRUE(b.frames.empty());
  EXPECT_EQ(segment.stats().framesLost, 1u);
  segment.setLinkUp(true);
  segment.transmit(&a, frame.data(), frame.size());
  EXPECT_EQ(b.frames.size(), 1u);
}

class CountingPoller : public sim::EthernetPoller {
 public:
  explicit CountingPoller(sim::EthernetSegment& s) : segment(s) {}
  void pollWire(uint64_t now) override {
    ++calls;
    last = now;
    if (reenter) segment.poll(now + 1);  // must not recurse
    if (removeSelf) segment.removePoller(this);
  }
  sim::EthernetSegment& segment;
  int calls = 0;
  uint64_t last = 0;
  bool reenter = false;
  bool removeSelf = false;
};

TEST(EthernetSegment, PollCallsEachPollerOnceAndDoesNotNest) {
  sim::EthernetSegment segment("lan");
  CountingPoller p(segment), q(segment);
  segment.addPoller(&p);
  segment.addPoller(&q);
  p.reenter = true;
  p.removeSelf = true;
  segment.poll(100);
  EXPECT_EQ(p.calls, 1);
  EXPECT_EQ(q.calls, 1);
  EXPECT_EQ(q.last, 100u);
  segment.poll(200);
  EXPECT_EQ(p.calls, 1);  // removed itself
  EXPECT_EQ(q.calls, 2);
}

TEST(EthernetSegment, WireTimeCountsPreamblePaddingCrcAndGap) {
  struct Case {
    size_t length;
    unsigned mbps;
    uint64_t nanos;
  };
  const Case cases[] = {
      {1514, 100, (8 + 1514 + 4 + 12) * 8 * 10},  // 123.04 us
      {1514, 10, (8 + 1514 + 4 + 12) * 8 * 100},
      {60, 100, (8 + 60 + 4 + 12) * 8 * 10},  // 6.72 us: the minimum frame
      {14, 100, (8 + 60 + 4 + 12) * 8 * 10},  // padded to 60
      {1514, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sim::EthernetSegment::wireNanos(c.length, c.mbps), c.nanos)
        << c.length << " bytes at " << c.mbps;
  }
}

TEST(EthernetSegment, PacedFramesArriveOneAfterAnotherAfterTheirWireTime) {
  sim::Clock clock(sim::Clock::Mode::Manual);
  sim::EthernetSegment segment("lan");
  segment.setPacing(100, &clock);
  RecordingStation a, b;
  segment.attach(&a);
  segment.attach(&b);
  const uint64_t t0 = clock.monotonicMicros();
  const auto frame = TestFrame(kB, kA, 1514);
  segment.transmit(&a, frame.data(), frame.size());
  segment.transmit(&a, frame.data(), frame.size());
  EXPECT_TRUE(b.frames.empty());
  EXPECT_EQ(segment.framesInFlight(), 2u);

  segment.poll(t0 + 123);  // 123.04 us not yet over
  EXPECT_TRUE(b.frames.empty());
  segment.poll(t0 + 124);
  EXPECT_EQ(b.frames.size(), 1u);
  segment.poll(t0 + 246);  // the second one queued behind the first
  EXPECT_EQ(b.frames.size(), 1u);
  segment.poll(t0 + 247);
  EXPECT_EQ(b.frames.size(), 2u);
  EXPECT_TRUE(a.frames.empty());

  // An idle wire starts the next frame at the time it is sent, not earlier.
  clock.skip(10000);
  const uint64_t t1 = clock.monotonicMicros();
  segment.transmit(&b, frame.data(), frame.size());
  segment.poll(t1 + 123);
  EXPECT_TRUE(a.frames.empty());
  segment.poll(t1 + 124);
  EXPECT_EQ(a.frames.size(), 1u);
}

TEST(EthernetSegment, CuttingAPacedSegmentLosesWhatIsOnTheWire) {
  sim::Clock clock(sim::Clock::Mode::Manual);
  sim::EthernetSegment segment("lan");
  segment.setPacing(10, &clock);
  RecordingStation a, b;
  segment.attach(&a);
  segment.attach(&b);
  const auto frame = TestFrame(kB, kA, 100);
  segment.transmit(&a, frame.data(), frame.size());
  segment.setLinkUp(false);
  segment.setLinkUp(true);
  segment.poll(clock.monotonicMicros() + 1000000);
  EXPECT_TRUE(b.frames.empty());
  EXPECT_EQ(segment.stats().framesLost, 1u);
}

TEST(EthernetSegment, PacingRefusesOtherRatesAndAMissingClock) {
  sim::Clock clock(sim::Clock::Mode::Manual);
  sim::EthernetSegment segment("lan");
  EXPECT_THROW(segment.setPacing(1000, &clock), std::invalid_argument);
  EXPECT_THROW(segment.setPacing(100, nullptr), std::invalid_argument);
  EXPECT_EQ(segment.pacing(), 0u);
  segment.setPacing(0, nullptr);  // unpaced needs no clock
}

}  // namespace
