#include <gtest/gtest.h>

#include <chrono>

#include "sim/clock.h"
#include "sim/machine.h"
#include "sim/pci_function.h"

namespace {

TEST(Clock, ManualClockMovesOnlyBySkips) {
  sim::Clock clock(sim::Clock::Mode::Manual);
  const uint64_t mono = clock.monotonicMicros();
  const int64_t wall = clock.wallMicros();
  EXPECT_EQ(clock.monotonicMicros(), mono);
  clock.skip(1500);
  clock.skip(2'000'000);
  EXPECT_EQ(clock.monotonicMicros(), mono + 2'001'500);
  EXPECT_EQ(clock.wallMicros(), wall + 2'001'500);
  EXPECT_EQ(clock.wallSeconds(), (wall + 2'001'500) / 1'000'000);
  EXPECT_EQ(clock.skipped(), 2'001'500u);
}

TEST(Clock, RealClockAddsSkippedTime) {
  sim::Clock clock;
  const auto realWall = std::chrono::duration_cast<std::chrono::microseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  const uint64_t mono = clock.monotonicMicros();
  clock.skip(3'600'000'000ull);  // an hour
  // The real part keeps running underneath; a minute's slack is plenty.
  EXPECT_GE(clock.monotonicMicros(), mono + 3'600'000'000ull);
  EXPECT_LT(clock.monotonicMicros(), mono + 3'660'000'000ull);
  EXPECT_GE(clock.wallMicros(), realWall + 3'600'000'000ll);
  EXPECT_LT(clock.wallMicros(), realWall + 3'660'000'000ll);
  const uint64_t later = clock.monotonicMicros();
  EXPECT_GE(clock.monotonicMicros(), later);
}

class TickRecorder : public sim::PciFunction {
 public:
  TickRecorder() : PciFunction(sim::FunctionSpec{}) {}
  void tick(uint64_t now) override { seen.push_back(now); }
  std::vector<uint64_t> seen;
};

TEST(Clock, MachineTicksDevicesOnSkipsAndAccesses) {
  sim::Machine machine(sim::MachineOptions{0x00200000, sim::Clock::Mode::Manual});
  auto& dev = static_cast<TickRecorder&>(machine.addFunction({0, 1, 0}, std::make_unique<TickRecorder>()));
  const uint64_t t0 = machine.clock().monotonicMicros();
  machine.skip(250);
  machine.in32(0x80);
  machine.memRead(0, 4);
  machine.configRead(0, 1, 0, 0);  // a bus cycle, not a CPU access: no tick
  EXPECT_EQ(dev.seen, (std::vector<uint64_t>{t0 + 250, t0 + 250, t0 + 250}));
}

}  // namespace
