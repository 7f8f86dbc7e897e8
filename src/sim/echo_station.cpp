#include "sim/echo_station.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

constexpr size_t kHeaderBytes = 14;
// A server's receive buffers: beyond this many unanswered frames it loses some.
constexpr size_t kMaxPending = 64;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

EchoStation::EchoStation(EthernetSegment& segment, const Mac& address, const EchoFaults& faults)
    : segment_(segment), address_(address), faults_(faults) {
  // A group address would make it answer frames meant for many stations.
  if (address_[0] & 0x01) {
    throw std::invalid_argument("echo station address " + formatMac(address_) +
                                " is a multicast address");
  }
  segment_.attach(this);
  segment_.addPoller(this);
}

EchoStation::~EchoStation() {
  segment_.removePoller(this);
  segment_.detach(this);
}

void EchoStation::receiveFrame(const uint8_t* frame, size_t length) {
  if (length < kHeaderBytes || std::memcmp(frame, address_.data(), address_.size()) != 0) return;
  const uint64_t n = ++stats_.framesForUs;
  if (!faults_.enabled) return;
  if ((faults_.answerLimit != 0 && n > faults_.answerLimit) ||
      (faults_.dropEvery != 0 && n % faults_.dropEvery == 0) || pending_.size() >= kMaxPending) {
    ++stats_.dropped;
    return;
  }
  std::vector<uint8_t> echo(frame, frame + length);
  std::copy(frame + 6, frame + 12, echo.begin());       // back to the sender
  std::copy(address_.begin(), address_.end(), echo.begin() + 6);  // from us
  if (faults_.corruptEvery != 0 && n % faults_.corruptEvery == 0) {
    echo.back() ^= 0xFF;
    ++stats_.corrupted;
  }
  pending_.push_back(std::move(echo));
}

void EchoStation::pollWire(uint64_t) {
  while (!pending_.empty()) {
    std::vector<uint8_t> echo = std::move(pending_.front());
    pending_.pop_front();
    ++stats_.echoed;
    segment_.transmit(this, echo.data(), echo.size());
  }
}

std::optional<EchoStation::Mac> EchoStation::parseMac(std::string_view text) {
  // Six pairs of hex digits with one separator kind between them.
  if (text.size() != 17) return std::nullopt;
  const char separator = text[2];
  if (separator != ':' && separator != '-') return std::nullopt;
  Mac mac{};
  for (size_t i = 0; i < 6; ++i) {
    const size_t at = i * 3;
    if (i > 0 && text[at - 1] != separator) return std::nullopt;
    const int hi = HexDigit(text[at]);
    const int lo = HexDigit(text[at + 1]);
    if (hi < 0 || lo < 0) return std::nullopt;
    mac[i] = static_cast<uint8_t>(hi * 16 + lo);
  }
  return mac;
}

std::string EchoStation::formatMac(const Mac& mac) {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2], mac[3],
                mac[4], mac[5]);
  return text;
}

}  // namespace sim
