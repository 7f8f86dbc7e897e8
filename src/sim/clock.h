#pragma once
#include <cstdint>

namespace sim {

// Time of the simulated machine. Both clocks run with real time plus the time that
// has been skipped, so sleeps cost nothing while real-time polling still works.
// A manual clock freezes the real part at construction: it moves only by skip(),
// which makes device timing in tests exact.
class Clock {
 public:
  enum class Mode { Real, Manual };

  explicit Clock(Mode mode = Mode::Real);

  Mode mode() const { return mode_; }

  // Monotonic time in microseconds (arbitrary epoch).
  uint64_t monotonicMicros() const;
  // Wall-clock time in microseconds since the Unix epoch.
  int64_t wallMicros() const;
  // Wall-clock time in whole seconds (rounded down).
  int64_t wallSeconds() const;

  // Advances both clocks; only the machine should call this directly, so that
  // devices see the jump (Machine::skip).
  void skip(uint64_t micros) { skipped_ += micros; }
  uint64_t skipped() const { return skipped_; }

 private:
  Mode mode_;
  uint64_t frozenMonotonic_ = 0;
  int64_t frozenWall_ = 0;
  uint64_t skipped_ = 0;
};

}  // namespace sim
