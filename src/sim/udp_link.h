#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/ethernet_segment.h"

namespace sim {

// A UDP link that cannot be set up (address not on loopback, port in use).
struct UdpLinkError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// A loopback UDP address: "127.0.0.1:40000", "[::1]:40000" or "localhost:40000".
struct UdpEndpoint {
  bool ipv6 = false;
  std::array<uint8_t, 16> address{};  // IPv4 in the first four bytes
  uint16_t port = 0;

  // Throws UdpLinkError for text that is not HOST:PORT, a host other than
  // 127.0.0.0/8, ::1 or localhost, or a port outside 1..65535 (0 too when
  // allowed: the system picks a free port).
  static UdpEndpoint parse(std::string_view text, bool allowPortZero = false);
  std::string text() const;
};

// Joins a segment to another process's segment or to a QEMU machine whose NIC
// uses "-netdev socket,udp=REMOTE,localaddr=LOCAL" the other way round: one
// Ethernet frame per datagram, without header or CRC, sent to `remote` from a
// socket bound to `local`.
//
// Frames the local attachments transmit go out as datagrams; datagrams that
// arrive are put on the segment for the local attachments and never sent back
// out. The socket is non-blocking and is read from poll(), at most once per
// kDrainMicros of the time poll() is given or every kPollsPerDrain polls
// (so that a frozen test clock still gets its frames).
class UdpLink : public EthernetStation, public EthernetPoller {
 public:
  static constexpr size_t kMinFrame = 14;    // shorter datagrams are runts
  static constexpr size_t kMaxFrame = 1518;  // longer datagrams are oversized
  static constexpr uint64_t kDrainMicros = 25;
  static constexpr unsigned kPollsPerDrain = 256;
  static constexpr unsigned kMaxFramesPerDrain = 64;  // bounds the time one poll takes

  struct Stats {
    uint64_t framesSent = 0;
    uint64_t framesReceived = 0;   // datagrams put on the segment
    uint64_t runtsDropped = 0;     // received datagrams below kMinFrame
    uint64_t oversizedDropped = 0; // received datagrams above kMaxFrame
    uint64_t notSent = 0;          // local frames outside kMinFrame..kMaxFrame
    uint64_t sendErrors = 0;       // the socket refused a datagram
    uint64_t drains = 0;           // receive passes made
  };

  // Binds `local` (port 0: any free port) and attaches to the segment; throws
  // UdpLinkError when the address cannot be bound.
  UdpLink(EthernetSegment& segment, const UdpEndpoint& local, const UdpEndpoint& remote);
  UdpLink(EthernetSegment& segment, std::string_view local, std::string_view remote);
  ~UdpLink() override;
  UdpLink(const UdpLink&) = delete;
  UdpLink& operator=(const UdpLink&) = delete;

  const UdpEndpoint& local() const { return local_; }  // with the port actually bound
  const UdpEndpoint& remote() const { return remote_; }
  uint16_t localPort() const { return local_.port; }
  const Stats& stats() const { return stats_; }

  // From the segment: a local frame to send.
  void receiveFrame(const uint8_t* frame, size_t length) override;
  // From the segment's poll: drains the socket when due.
  void pollWire(uint64_t nowMicros) override;
  // Reads what has arrived now (up to kMaxFramesPerDrain datagrams) and puts it
  // on the segment; answers the number of frames delivered.
  size_t drain();

 private:
  EthernetSegment& segment_;
  UdpEndpoint local_;
  UdpEndpoint remote_;
  int fd_ = -1;
  uint64_t lastDrainMicros_ = 0;
  unsigned pollsSinceDrain_ = 0;
  bool drained_ = false;  // a drain has happened (the first poll always drains)
  bool backlog_ = false;  // the last drain stopped at kMaxFramesPerDrain
  bool delivering_ = false;
  Stats stats_;
};

}  // namespace sim
