#include "sim/clock.h"

#include <chrono>

namespace sim {

namespace {

uint64_t RealMonotonicMicros() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count());
}

int64_t RealWallMicros() {
  using namespace std::chrono;
  return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

}  // namespace

Clock::Clock(Mode mode)
    : mode_(mode), frozenMonotonic_(RealMonotonicMicros()), frozenWall_(RealWallMicros()) {}

uint64_t Clock::monotonicMicros() const {
  const uint64_t real = mode_ == Mode::Real ? RealMonotonicMicros() : frozenMonotonic_;
  return real + skipped_;
}

int64_t Clock::wallMicros() const {
  const int64_t real = mode_ == Mode::Real ? RealWallMicros() : frozenWall_;
  return real + static_cast<int64_t>(skipped_);
}

int64_t Clock::wallSeconds() const {
  const int64_t us = wallMicros();
  // Round toward minus infinity so the one-second steps stay even before 1970.
  return us >= 0 ? us / 1000000 : -((-us + 999999) / 1000000);
}

}  // namespace sim
