#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "sim/ethernet_link.h"

namespace sim {

class Clock;

// An attachment with work of its own when the wire is polled (a UDP link
// draining its socket, an echo station sending its answers).
class EthernetPoller {
 public:
  virtual ~EthernetPoller() = default;
  virtual void pollWire(uint64_t nowMicros) = 0;
};

// A named Ethernet segment: a shared wire that hands every frame to all other
// attachments. Unpaced (the default), delivery happens inside transmit(). Paced
// at 10 or 100 Mb/s, a frame occupies the wire for its bit time (preamble, frame
// padded to 60 bytes, CRC and inter-frame gap) one after another on the
// simulated clock, and is delivered by the first poll() after it has passed.
// A cut segment (link down) carries nothing.
class EthernetSegment : public EthernetWire {
 public:
  struct Stats {
    uint64_t framesCarried = 0;  // frames put on the wire and delivered (or queued)
    uint64_t framesLost = 0;     // frames transmitted while the segment was cut
  };

  explicit EthernetSegment(std::string name);
  ~EthernetSegment() override;
  EthernetSegment(const EthernetSegment&) = delete;
  EthernetSegment& operator=(const EthernetSegment&) = delete;

  const std::string& name() const { return name_; }

  // Attaching twice is a no-op; detaching what is not attached too. Both are
  // safe from inside receiveFrame(): the list is only compacted between deliveries.
  void attach(EthernetStation* station);
  void detach(EthernetStation* station);
  bool isAttached(const EthernetStation* station) const;
  size_t attachmentCount() const;

  // Takes an attachment made for this segment (a bench's UDP link or echo
  // station) for the segment's lifetime. Owned attachments go first, newest
  // first, when the segment is destroyed, so they can still detach.
  template <class T>
  T& adopt(std::unique_ptr<T> part) {
    T& ref = *part;
    owned_.push_back(std::move(part));
    return ref;
  }
  // The first owned attachment of type T, or null.
  template <class T>
  T* owned() const {
    for (const auto& part : owned_) {
      if (auto* p = dynamic_cast<T*>(part.get())) return p;
    }
    return nullptr;
  }

  // Pollers are called from poll() in the order added.
  void addPoller(EthernetPoller* poller);
  void removePoller(EthernetPoller* poller);

  // ---- EthernetWire ----
  void transmit(EthernetStation* from, const uint8_t* frame, size_t length) override;
  bool linkUp() const override { return linkUp_; }
  // Delivers paced frames that are due and lets the pollers work. A nested call
  // (from inside a delivery) returns at once.
  void poll(uint64_t nowMicros) override;

  // The bench's cut: with the link down frames are lost (queued paced frames too).
  void setLinkUp(bool up);

  // 0 (unpaced), 10 or 100 Mb/s; pacing needs the clock whose time poll() is
  // given. Throws std::invalid_argument for another rate or a missing clock.
  void setPacing(unsigned megabitsPerSecond, const Clock* clock);
  unsigned pacing() const { return megabits_; }
  // Wire time of a frame of `length` bytes (without CRC) at `megabitsPerSecond`.
  static uint64_t wireNanos(size_t length, unsigned megabitsPerSecond);
  // Frames on the wire not yet delivered (paced only).
  size_t framesInFlight() const { return inFlight_.size(); }

  const Stats& stats() const { return stats_; }

 private:
  struct InFlight {
    uint64_t dueNanos;
    EthernetStation* from;
    std::vector<uint8_t> frame;
  };

  void deliver(EthernetStation* from, const uint8_t* frame, size_t length);
  void compact();

  std::string name_;
  std::vector<EthernetStation*> stations_;  // null marks a detached entry
  std::vector<EthernetPoller*> pollers_;
  int delivering_ = 0;
  bool polling_ = false;
  bool linkUp_ = true;
  unsigned megabits_ = 0;
  const Clock* clock_ = nullptr;
  uint64_t wireFreeNanos_ = 0;
  std::deque<InFlight> inFlight_;
  Stats stats_;
  std::vector<std::unique_ptr<EthernetStation>> owned_;
};

}  // namespace sim
