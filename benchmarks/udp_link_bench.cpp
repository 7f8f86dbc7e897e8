// Frames per second through a pair of UDP links on loopback in one process:
// two segments, each with a station, joined by two links; polled the way a
// device polls its wire, with the real clock.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/clock.h"
#include "sim/echo_station.h"
#include "sim/ethernet_segment.h"
#include "sim/udp_link.h"

namespace {

class CountingStation : public sim::EthernetStation {
 public:
  void receiveFrame(const uint8_t*, size_t) override { ++frames; }
  uint64_t frames = 0;
};

struct Pair {
  sim::Clock clock;
  sim::EthernetSegment left{"left"}, right{"right"};
  CountingStation leftStation, rightStation;
  std::unique_ptr<sim::UdpLink> leftLink, rightLink;

  Pair() {
    // Bind the right side first on a free port, then the left one aiming at it;
    // the right link is rebuilt to aim back at the left one.
    auto probe = std::make_unique<sim::UdpLink>(right, "127.0.0.1:0", "127.0.0.1:9");
    const std::string r = "127.0.0.1:" + std::to_string(probe->localPort());
    leftLink = std::make_unique<sim::UdpLink>(left, "127.0.0.1:0", r);
    probe.reset();
    rightLink = std::make_unique<sim::UdpLink>(
        right, r, "127.0.0.1:" + std::to_string(leftLink->localPort()));
    left.attach(&leftStation);
    right.attach(&rightStation);
  }

  // Polls both sides until the left station has `count` frames (or 2 s pass).
  void awaitLeft(uint64_t count) {
    const uint64_t end = clock.monotonicMicros() + 2000000;
    while (leftStation.frames < count) {
      const uint64_t now = clock.monotonicMicros();
      if (now > end) throw std::runtime_error("frames lost on loopback");
      right.poll(now);
      left.poll(now);
    }
  }
  void awaitRight(uint64_t count) {
    const uint64_t end = clock.monotonicMicros() + 2000000;
    while (rightStation.frames < count) {
      const uint64_t now = clock.monotonicMicros();
      if (now > end) throw std::runtime_error("frames lost on loopback");
      right.poll(now);
    }
  }
};

std::vector<uint8_t> Frame(const sim::EchoStation::Mac& to) {
  std::vector<uint8_t> frame(1514, 0xA5);
  std::memcpy(frame.data(), to.data(), 6);
  const uint8_t from[6] = {0x02, 0, 0, 0, 0, 0x01};
  std::memcpy(frame.data() + 6, from, 6);
  frame[12] = 0xDE;
  frame[13] = 0xAD;
  return frame;
}

// One 1514-byte frame at a time, left to right, waiting for each.
void BM_OneWayFrameByFrame(benchmark::State& state) {
  Pair pair;
  const auto frame = Frame({0x02, 0, 0, 0, 0, 0x02});
  for (auto _ : state) {
    pair.left.transmit(&pair.leftStation, frame.data(), frame.size());
    pair.awaitRight(pair.rightStation.frames + 1);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()));
}
BENCHMARK(BM_OneWayFrameByFrame)->UseRealTime();

// The echo client's pattern: eight frames out to an echo station on the far
// segment, then wait for the eight echoes. Items are frames sent.
void BM_EchoWindowOfEight(benchmark::State& state) {
  Pair pair;
  const sim::EchoStation::Mac server = {0x02, 0, 0, 0, 0, 0xEE};
  sim::EchoStation echo(pair.right, server);
  pair.right.detach(&pair.rightStation);
  const auto frame = Frame(server);
  for (auto _ : state) {
    for (int i = 0; i < 8; ++i) pair.left.transmit(&pair.leftStation, frame.data(), frame.size());
    pair.awaitLeft(pair.leftStation.frames + 8);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 8);
}
BENCHMARK(BM_EchoWindowOfEight)->UseRealTime();

// A whole 8000-frame echo run in windows of eight (one iteration = one run).
void BM_EchoRun8000(benchmark::State& state) {
  Pair pair;
  const sim::EchoStation::Mac server = {0x02, 0, 0, 0, 0, 0xEE};
  sim::EchoStation echo(pair.right, server);
  pair.right.detach(&pair.rightStation);
  const auto frame = Frame(server);
  for (auto _ : state) {
    for (int window = 0; window < 1000; ++window) {
      for (int i = 0; i < 8; ++i) pair.left.transmit(&pair.leftStation, frame.data(), frame.size());
      pair.awaitLeft(pair.leftStation.frames + 8);
    }
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * 8000);
}
BENCHMARK(BM_EchoRun8000)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The cost of a poll when nothing is due (called before many register accesses).
void BM_IdlePoll(benchmark::State& state) {
  Pair pair;
  uint64_t now = pair.clock.monotonicMicros();
  for (auto _ : state) {
    pair.left.poll(now);
    benchmark::DoNotOptimize(now);
  }
}
BENCHMARK(BM_IdlePoll);

// The same with the real clock read each time, as a device tick would.
void BM_IdlePollRealClock(benchmark::State& state) {
  Pair pair;
  for (auto _ : state) pair.left.poll(pair.clock.monotonicMicros());
}
BENCHMARK(BM_IdlePollRealClock);

}  // namespace

BENCHMARK_MAIN();
