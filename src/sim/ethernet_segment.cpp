#include "sim/ethernet_segment.h"

#include <algorithm>
#include <stdexcept>
#include <utility>

#include "sim/clock.h"

namespace sim {

namespace {

// Beyond this many frames waiting for the wire a paced segment loses frames
// instead of holding an unbounded queue for a device that never polls.
constexpr size_t kMaxInFlight = 4096;

constexpr size_t kPreambleBytes = 8;
constexpr size_t kMinFrameBytes = 60;  // without CRC; shorter frames are padded
constexpr size_t kCrcBytes = 4;
constexpr size_t kGapBytes = 12;

}  // namespace

EthernetSegment::EthernetSegment(std::string name) : name_(std::move(name)) {}

EthernetSegment::~EthernetSegment() {
  while (!owned_.empty()) owned_.pop_back();
}

void EthernetSegment::attach(EthernetStation* station) {
  if (station == nullptr || isAttached(station)) return;
  stations_.push_back(station);
}

void EthernetSegment::detach(EthernetStation* station) {
  auto it = std::find(stations_.begin(), stations_.end(), station);
  if (it == stations_.end() || station == nullptr) return;
  if (delivering_ > 0) {
    *it = nullptr;  // compacted when the outermost delivery ends
  } else {
    stations_.erase(it);
  }
}

bool EthernetSegment::isAttached(const EthernetStation* station) const {
  return station != nullptr &&
         std::find(stations_.begin(), stations_.end(), station) != stations_.end();
}

size_t EthernetSegment::attachmentCount() const {
  return static_cast<size_t>(
      std::count_if(stations_.begin(), stations_.end(), [](auto* s) { return s != nullptr; }));
}

void EthernetSegment::addPoller(EthernetPoller* poller) {
  if (poller == nullptr) return;
  if (std::find(pollers_.begin(), pollers_.end(), poller) != pollers_.end()) return;
  pollers_.push_back(poller);
}

void EthernetSegment::removePoller(EthernetPoller* poller) {
  auto it = std::find(pollers_.begin(), pollers_.end(), poller);
  if (it == pollers_.end() || poller == nullptr) return;
  if (polling_) {
    *it = nullptr;
  } else {
    pollers_.erase(it);
  }
}

void EthernetSegment::compact() {
  if (delivering_ == 0) {
    stations_.erase(std::remove(stations_.begin(), stations_.end(), nullptr), stations_.end());
  }
  if (!polling_) {
    pollers_.erase(std::remove(pollers_.begin(), pollers_.end(), nullptr), pollers_.end());
  }
}

void EthernetSegment::deliver(EthernetStation* from, const uint8_t* frame, size_t length) {
  ++delivering_;
  // By index: a receiver may attach (appended, receives from the next frame on)
  // or detach (nulled) while we walk the list.
  const size_t count = stations_.size();
  for (size_t i = 0; i < count && i < stations_.size(); ++i) {
    EthernetStation* station = stations_[i];
    if (station != nullptr && station != from) station->receiveFrame(frame, length);
  }
  --delivering_;
  compact();
}

void EthernetSegment::transmit(EthernetStation* from, const uint8_t* frame, size_t length) {
  if (!linkUp_) {
    ++stats_.framesLost;
    return;
  }
  if (megabits_ == 0) {
    ++stats_.framesCarried;
    deliver(from, frame, length);
    return;
  }
  if (inFlight_.size() >= kMaxInFlight) {
    ++stats_.framesLost;
    return;
  }
  const uint64_t now = clock_->monotonicMicros() * 1000;
  const uint64_t start = std::max(now, wireFreeNanos_);
  wireFreeNanos_ = start + wireNanos(length, megabits_);
  inFlight_.push_back(InFlight{wireFreeNanos_, from, std::vector<uint8_t>(frame, frame + length)});
  ++stats_.framesCarried;
}

void EthernetSegment::poll(uint64_t nowMicros) {
  if (polling_) return;
  polling_ = true;
  const uint64_t now = nowMicros * 1000;
  while (!inFlight_.empty() && inFlight_.front().dueNanos <= now) {
    InFlight next = std::move(inFlight_.front());
    inFlight_.pop_front();
    deliver(next.from, next.frame.data(), next.frame.size());
  }
  const size_t count = pollers_.size();
  for (size_t i = 0; i < count && i < pollers_.size(); ++i) {
    if (pollers_[i] != nullptr) pollers_[i]->pollWire(nowMicros);
  }
  polling_ = false;
  compact();
}

void EthernetSegment::setLinkUp(bool up) {
  linkUp_ = up;
  if (!up) {
    stats_.framesLost += inFlight_.size();
    inFlight_.clear();
  }
}

void EthernetSegment::setPacing(unsigned megabitsPerSecond, const Clock* clock) {
  if (megabitsPerSecond != 0 && megabitsPerSecond != 10 && megabitsPerSecond != 100) {
    throw std::invalid_argument("segment " + name_ + ": pacing must be 10 or 100 Mb/s, not " +
                                std::to_string(megabitsPerSecond));
  }
  if (megabitsPerSecond != 0 && clock == nullptr) {
    throw std::invalid_argument("segment " + name_ + ": pacing needs a clock");
  }
  megabits_ = megabitsPerSecond;
  clock_ = clock;
  if (megabits_ == 0) {
    // Whatever was on the wire arrives at the next poll.
    for (auto& f : inFlight_) f.dueNanos = 0;
  }
}

uint64_t EthernetSegment::wireNanos(size_t length, unsigned megabitsPerSecond) {
  if (megabitsPerSecond == 0) return 0;
  const uint64_t bytes = kPreambleBytes + std::max(length, kMinFrameBytes) + kCrcBytes + kGapBytes;
  return bytes * 8 * 1000 / megabitsPerSecond;
}

}  // namespace sim
