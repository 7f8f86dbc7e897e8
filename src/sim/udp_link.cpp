#include "sim/udp_link.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace sim {

namespace {

constexpr int kReceiveBufferBytes = 1 << 20;  // room for bursts between drains

std::string Quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

[[noreturn]] void NotLoopback(std::string_view host) {
  throw UdpLinkError("host " + Quoted(host) +
                     " is not allowed: UDP links use loopback only (127.0.0.0/8, ::1, localhost)");
}

socklen_t ToSockaddr(const UdpEndpoint& endpoint, sockaddr_storage& storage) {
  std::memset(&storage, 0, sizeof storage);
  if (endpoint.ipv6) {
    auto& a = reinterpret_cast<sockaddr_in6&>(storage);
    a.sin6_family = AF_INET6;
    a.sin6_port = htons(endpoint.port);
    std::memcpy(&a.sin6_addr, endpoint.address.data(), 16);
    return sizeof a;
  }
  auto& a = reinterpret_cast<sockaddr_in&>(storage);
  a.sin_family = AF_INET;
  a.sin_port = htons(endpoint.port);
  std::memcpy(&a.sin_addr, endpoint.address.data(), 4);
  return sizeof a;
}

}  // namespace

UdpEndpoint UdpEndpoint::parse(std::string_view text, bool allowPortZero) {
  std::string_view host;
  std::string_view port;
  if (!text.empty() && text.front() == '[') {
    const size_t close = text.find(']');
    if (close == std::string_view::npos || close + 1 >= text.size() || text[close + 1] != ':') {
      throw UdpLinkError(Quoted(text) + " is not HOST:PORT");
    }
    host = text.substr(1, close - 1);
    port = text.substr(close + 2);
  } else {
    const size_t colon = text.rfind(':');
    if (colon == std::string_view::npos || colon == 0) {
      throw UdpLinkError(Quoted(text) + " is not HOST:PORT");
    }
    host = text.substr(0, colon);
    port = text.substr(colon + 1);
    if (host.find(':') != std::string_view::npos) {
      throw UdpLinkError(Quoted(text) + " is not HOST:PORT (write an IPv6 host as [::1]:PORT)");
    }
  }

  UdpEndpoint endpoint;
  const std::string hostText(host);
  if (hostText == "localhost") {
    endpoint.address = {127, 0, 0, 1};
  } else if (inet_pton(AF_INET, hostText.c_str(), endpoint.address.data()) == 1) {
    if (endpoint.address[0] != 127) NotLoopback(host);
  } else if (inet_pton(AF_INET6, hostText.c_str(), endpoint.address.data()) == 1) {
    const std::array<uint8_t, 16> loopback{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
    if (endpoint.address != loopback) NotLoopback(host);
    endpoint.ipv6 = true;
  } else {
    NotLoopback(host);
  }

  unsigned value = 0;
  bool digits = !port.empty() && port.size() <= 5;
  for (char c : port) {
    if (c < '0' || c > '9') {
      digits = false;
      break;
    }
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (!digits || value > 65535 || (value == 0 && !allowPortZero)) {
    throw UdpLinkError("port " + Quoted(port) + " of " + Quoted(text) + " is not a number from " +
                       (allowPortZero ? "0" : "1") + " to 65535");
  }
  endpoint.port = static_cast<uint16_t>(value);
  return endpoint;
}

std::string UdpEndpoint::text() const {
  char host[INET6_ADDRSTRLEN] = {};
  inet_ntop(ipv6 ? AF_INET6 : AF_INET, address.data(), host, sizeof host);
  const std::string port = std::to_string(this->port);
  return ipv6 ? "[" + std::string(host) + "]:" + port : std::string(host) + ":" + port;
}

UdpLink::UdpLink(EthernetSegment& segment, std::string_view local, std::string_view remote)
    : UdpLink(segment, UdpEndpoint::parse(local, true), UdpEndpoint::parse(remote)) {}

UdpLink::UdpLink(EthernetSegment& segment, const UdpEndpoint& local, const UdpEndpoint& remote)
    : segment_(segment), local_(local), remote_(remote) {
  if (local.ipv6 != remote.ipv6) {
    throw UdpLinkError("UDP link " + local.text() + " -> " + remote.text() +
                       ": local and remote addresses are of different families");
  }
  if (remote.port == 0) throw UdpLinkError("UDP link to " + remote.text() + ": remote port 0");
  fd_ = socket(local.ipv6 ? AF_INET6 : AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd_ < 0) {
    throw UdpLinkError("UDP link on " + local.text() + ": no socket: " + std::strerror(errno));
  }
  const int size = kReceiveBufferBytes;
  setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);  // best effort

  sockaddr_storage address;
  const socklen_t length = ToSockaddr(local, address);
  if (bind(fd_, reinterpret_cast<sockaddr*>(&address), length) != 0) {
    const int error = errno;
    close(fd_);
    if (error == EADDRINUSE) {
      throw UdpLinkError("cannot bind UDP port " + std::to_string(local.port) + " on " +
                         local.text() + ": the port is already in use");
    }
    throw UdpLinkError("cannot bind UDP port " + std::to_string(local.port) + " on " +
                       local.text() + ": " + std::strerror(error));
  }
  sockaddr_storage bound;
  socklen_t boundLength = sizeof bound;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&bound), &boundLength) == 0) {
    local_.port = ntohs(local.ipv6 ? reinterpret_cast<sockaddr_in6&>(bound).sin6_port
                                   : reinterpret_cast<sockaddr_in&>(bound).sin_port);
  }
  segment_.attach(this);
  segment_.addPoller(this);
}

UdpLink::~UdpLink() {
  segment_.removePoller(this);
  segment_.detach(this);
  close(fd_);
}

void UdpLink::receiveFrame(const uint8_t* frame, size_t length) {
  if (length < kMinFrame || length > kMaxFrame) {
    ++stats_.notSent;
    return;
  }
  sockaddr_storage address;
  const socklen_t addressLength = ToSockaddr(remote_, address);
  const ssize_t sent = sendto(fd_, frame, length, MSG_DONTWAIT,
                              reinterpret_cast<sockaddr*>(&address), addressLength);
  if (sent == static_cast<ssize_t>(length)) {
    ++stats_.framesSent;
  } else {
    ++stats_.sendErrors;
  }
}

void UdpLink::pollWire(uint64_t nowMicros) {
  ++pollsSinceDrain_;
  const bool due = !drained_ || backlog_ || nowMicros < lastDrainMicros_ ||
                   nowMicros - lastDrainMicros_ >= kDrainMicros ||
                   pollsSinceDrain_ >= kPollsPerDrain;
  if (!due) return;
  lastDrainMicros_ = nowMicros;
  drain();
}

size_t UdpLink::drain() {
  if (delivering_) return 0;  // a receiver polled the wire from inside a delivery
  delivering_ = true;
  drained_ = true;
  pollsSinceDrain_ = 0;
  backlog_ = false;
  ++stats_.drains;
  // One byte more than the largest frame: MSG_TRUNC reports the true length.
  uint8_t buffer[kMaxFrame + 1];
  size_t delivered = 0;
  unsigned reads = 0;
  for (;; ++reads) {
    if (reads == kMaxFramesPerDrain) {
      backlog_ = true;
      break;
    }
    const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT | MSG_TRUNC);
    if (n < 0) break;  // nothing more (EAGAIN) or a transient error: try next drain
    const size_t length = static_cast<size_t>(n);
    if (length < kMinFrame) {
      ++stats_.runtsDropped;
    } else if (length > kMaxFrame) {
      ++stats_.oversizedDropped;
    } else {
      ++stats_.framesReceived;
      ++delivered;
      segment_.transmit(this, buffer, length);
    }
  }
  delivering_ = false;
  return delivered;
}

}  // namespace sim
