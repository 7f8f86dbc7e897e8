#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "sim/ethernet_segment.h"

namespace sim {

// Faults of an echo station. Counts are over the frames addressed to it,
// starting at 1 (the echo client's probe is frame 1); 0 disables a knob.
struct EchoFaults {
  bool enabled = true;         // false: the station is silent (no server on the wire)
  uint64_t dropEvery = 0;      // every Nth frame goes unanswered
  uint64_t corruptEvery = 0;   // every Nth echo has its last byte inverted
  uint64_t answerLimit = 0;    // answers this many frames, then falls silent
};

// A second machine running an echo server, reduced to the wire: every frame
// addressed to its own address (unicast) goes back with destination and source
// exchanged and nothing else changed. Answers are sent from poll(), not from
// inside the sender's transmit, the way a real server answers a little later.
class EchoStation : public EthernetStation, public EthernetPoller {
 public:
  using Mac = std::array<uint8_t, 6>;

  struct Stats {
    uint64_t framesForUs = 0;  // frames addressed to the station
    uint64_t echoed = 0;       // answers sent (corrupted ones included)
    uint64_t dropped = 0;      // left unanswered by a fault or a full queue
    uint64_t corrupted = 0;
  };

  // Attaches to the segment; the destructor detaches. Throws std::invalid_argument
  // for a multicast address.
  EchoStation(EthernetSegment& segment, const Mac& address, const EchoFaults& faults = {});
  ~EchoStation() override;
  EchoStation(const EchoStation&) = delete;
  EchoStation& operator=(const EchoStation&) = delete;

  const Mac& address() const { return address_; }
  const EchoFaults& faults() const { return faults_; }
  void setFaults(const EchoFaults& faults) { faults_ = faults; }
  const Stats& stats() const { return stats_; }
  // Answers waiting for the next poll.
  size_t pending() const { return pending_.size(); }

  void receiveFrame(const uint8_t* frame, size_t length) override;
  void pollWire(uint64_t nowMicros) override;

  // "02:00:00:00:00:ee" (colons or dashes, hex digits of either case).
  static std::optional<Mac> parseMac(std::string_view text);
  static std::string formatMac(const Mac& mac);

 private:
  EthernetSegment& segment_;
  Mac address_;
  EchoFaults faults_;
  Stats stats_;
  std::deque<std::vector<uint8_t>> pending_;
};

}  // namespace sim
