#include "net/echo_client.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <new>

#include "cards/pci_card.h"
#include "net/echo_reporter.h"
#include "pci/pci_system.h"

namespace {

constexpr int kHeaderLength = 14;
constexpr int kPayloadStart = 16;

void WriteHeader(uint8_t* out, const EthernetAddress& destination, const EthernetAddress& source,
                 const uint8_t type[2]) {
  std::memcpy(out, destination.GetBytes().data(), 6);
  std::memcpy(out + 6, source.GetBytes().data(), 6);
  out[12] = type[0];
  out[13] = type[1];
}

bool SameAddress(const uint8_t* bytes, const EthernetAddress& address) {
  return std::memcmp(bytes, address.GetBytes().data(), 6) == 0;
}

uint8_t PairHigh(uint16_t s, int i) { return static_cast<uint8_t>((s >> 8) + i); }
uint8_t PairLow(uint16_t s, int i) { return static_cast<uint8_t>((s & 0xFF) - i); }

}  // namespace

EchoClient::EchoClient(EchoReporter* first, EchoReporter* second)
    : serverAddress(0x0200000000EEull), reporter1(first), reporter2(second), tracking(kMinPacketCount, 0) {}

EchoClient::~EchoClient() = default;

void EchoClient::BuildProbe(uint8_t* out, const EthernetAddress& server, const EthernetAddress& client) {
  std::memset(out, kProbeFill, kFrameLength);
  WriteHeader(out, server, client, kProbeType);
}

void EchoClient::BuildDataFrame(uint8_t* out, const EthernetAddress& server, const EthernetAddress& client,
                                uint16_t s) {
  WriteHeader(out, server, client, kDataType);
  out[14] = static_cast<uint8_t>(s >> 8);
  out[15] = static_cast<uint8_t>(s);
  for (int i = kPayloadStart; i < kFrameLength; i += 2) {
    out[i] = PairHigh(s, i);
    out[i + 1] = PairLow(s, i);
  }
}

bool EchoClient::Attach(PCI_Card* target) {
  done = false;
  finished_ = false;
  if (target == nullptr) {
    ReportMessage("Unable to control this card due to a null card pointer");
    return false;
  }
  card = target;
  portCount = card->PortCount();
  port = 0;
  state = kOpenPort;
  return true;
}

bool EchoClient::SetPacketCount(int n) {
  if (n < kMinPacketCount) {
    ReportMessage("Packet Count too low:  must be 8000 or above");
    return false;
  }
  try {
    std::vector<uint8_t> fresh(static_cast<size_t>(n), 0);
    tracking.swap(fresh);
  } catch (const std::bad_alloc&) {
    ReportMessage("Could not allocate enough memory to track packets");
    return false;
  }
  packetCount = n;
  return true;
}

// ---- Reporting ----

void EchoClient::ReportMessage(const char* text) {
  if (reporter1) reporter1->Message(text);
}
void EchoClient::ReportResult(const char* text) {
  if (reporter1) reporter1->Result(text);
}
void EchoClient::ReportStatus(const char* text) {
  if (reporter1) reporter1->Status(text);
}
void EchoClient::ReportProgress(const char* text, int count) {
  if (reporter2) reporter2->Progress(text, count);
}

// ---- Time ----

void EchoClient::StartWait() {
  PCI_System* system = card->system;
  deadline = system->WallClockSeconds() + timeout;
  // Whole seconds: "later than the deadline" comes 2 to 3 seconds on.
  waitLimitMicros_ = system->MonotonicMicroseconds() + static_cast<uint64_t>(timeout + 1) * 1000000u;
}

bool EchoClient::WaitOver() {
  PCI_System* system = card->system;
  return system->WallClockSeconds() > deadline || system->MonotonicMicroseconds() > waitLimitMicros_;
}

// ---- The step machine ----

void EchoClient::SelectPort(int p) {
  if (state == kIdle || p < 0 || p >= portCount) return;
  port = p;
  card->SetPort(p);
}

int EchoClient::Step() {
  bool failed = false;
  switch (state) {
    case kOpenPort: failed = !OpenPort(); break;
    case kProbe: SendProbe(); break;
    case kAwaitProbeAnswer: failed = !AwaitProbeAnswer(); break;
    case kSendBurst: SendBurst(); break;
    case kReceiveEchoes: failed = !ReceiveEchoes(); break;
    case kPortFinished: FinishPort(); break;
    case kEvaluate: Evaluate(); break;
    default: ReportMessage("No card has been initialized for testing. . ."); break;
  }
  if (done && !finished_) {
    finished_ = true;
    card->ClosePacketEngine();
    state = kIdle;
    ReportMessage("Shutting down adapter. . .");
    if (result == kResultPassed) {
      ReportResult("Echo test completed successfully");
    } else if (result == kResultTooManyErrors) {
      ReportResult("Echo tests failed - too many errors");
      failed = true;
    } else {
      ReportResult("Failed Echo Test");
    }
  }
  return failed ? 1 : 0;
}

bool EchoClient::OpenPort() {
  SelectPort(port);
  try {
    card->OpenPacketEngine();
  } catch (const char* text) {
    ReportMessage(text);
    ReportResult("Could not init device");
    state = kIdle;
    return false;
  }
  ownAddress = card->MacAddress();
  sent = received = rxLength = 0;
  probeRetries = kProbeRetries;
  // Every port is judged on its own echoes.
  std::fill(tracking.begin(), tracking.end(), uint8_t{0});
  char text[64];
  std::snprintf(text, sizeof text, "Testing port %d", port);
  ReportMessage(text);
  state = kProbe;
  return true;
}

void EchoClient::SendProbe() {
  BuildProbe(frame, serverAddress, ownAddress);
  card->SendPacket(frame, kFrameLength);
  StartWait();
  state = kAwaitProbeAnswer;
}

bool EchoClient::IsProbeAnswer() const {
  return rxLength == kFrameLength && SameAddress(frame, ownAddress) && SameAddress(frame + 6, serverAddress) &&
         frame[12] == kProbeType[0] && frame[13] == kProbeType[1];
}

bool EchoClient::AwaitProbeAnswer() {
  char text[96];
  if (WaitOver()) {
    // Every probe, the last one too, gets its full wait before the next
    // probe or the verdict.
    if (probeRetries < 1) {
      std::snprintf(text, sizeof text, "No Echo Server on port %d", port);
      ReportResult(text);
      done = true;
      state = kIdle;
      return false;
    }
    probeRetries -= 1;
    ReportMessage("Retrying. . .");
    state = kProbe;
    return true;
  }
  int length = 0;
  if (!card->ReceivePacket(frame, &length)) {
    // Nothing yet: give the wire a moment rather than spinning (a skip of the
    // clock on the simulated bench).
    card->system->SleepMilliseconds(1);
    return true;
  }
  rxLength = length;
  if (IsProbeAnswer()) {
    ReportMessage("Echo Server Contacted");
    std::snprintf(text, sizeof text, "Echo Server found on port %d", port);
    ReportMessage(text);
    ReportMessage("Sending Data.");
    state = kSendBurst;
    return true;
  }
  // Frames shorter than a header show what they have, the rest as zeros.
  uint8_t h[kHeaderLength] = {};
  std::memcpy(h, frame, static_cast<size_t>(std::clamp(length, 0, kHeaderLength)));
  std::snprintf(text, sizeof text,
                "Bad Packet Recevied \"%02x:%02x:%02x:%02x:%02x:%02x%02x:%02x:%02x:%02x:%02x:%02x %02x%02x\"", h[0],
                h[1], h[2], h[3], h[4], h[5], h[6], h[7], h[8], h[9], h[10], h[11], h[12], h[13]);
  ReportMessage(text);
  return true;
}

void EchoClient::SendBurst() {
  if (sent >= packetCount) {
    state = kPortFinished;
  } else {
    while (sent < packetCount && sent < received + kWindow) {
      BuildDataFrame(frame, serverAddress, ownAddress, static_cast<uint16_t>(sent));
      card->SendPacket(frame, kFrameLength);
      sent += 1;
    }
    StartWait();
    state = kReceiveEchoes;
  }
  char text[96];
  std::snprintf(text, sizeof text, "Packets sent %d, packets received %d", sent, received);
  ReportStatus(text);
}

EchoClient::Receive EchoClient::ReceiveLoop() {
  for (;;) {
    if (received >= sent) return Receive::kCaughtUp;
    if (WaitOver()) return Receive::kDeadlinePassed;
    int length = 0;
    if (!card->ReceivePacket(frame, &length)) continue;
    rxLength = length;
    if (length < kHeaderLength || !SameAddress(frame, ownAddress) || frame[12] != kDataType[0] ||
        frame[13] != kDataType[1])
      return Receive::kOtherFrame;
    received += 1;
    StartWait();
    if (length != kFrameLength) {
      bad += 1;
      return Receive::kWrongLength;
    }
    if (!SameAddress(frame + 6, serverAddress)) {
      bad += 1;
      return Receive::kWrongSource;
    }
    const uint16_t s = static_cast<uint16_t>(frame[14] << 8 | frame[15]);
    // The 16-bit number names the frame among those in flight: the latest
    // frame sent whose number has these low 16 bits. An echo of a frame not
    // sent on this port has no entry.
    const int lastSent = sent - 1;
    const int index = lastSent - ((lastSent - s) & 0xFFFF);
    bool intact = index >= 0;
    for (int i = kPayloadStart; intact && i < kFrameLength; i += 2)
      intact = frame[i] == PairHigh(s, i) && frame[i + 1] == PairLow(s, i);
    if (index >= 0) tracking[static_cast<size_t>(index)] = intact ? 1 : 0;
    if (!intact) {
      bad += 1;
      return Receive::kWrongPayload;
    }
  }
}

bool EchoClient::ReceiveEchoes() {
  char text[64];
  switch (ReceiveLoop()) {
    case Receive::kCaughtUp:
      std::snprintf(text, sizeof text, "Port %d", port);
      ReportProgress(text, received);
      state = kSendBurst;
      return true;
    case Receive::kDeadlinePassed:
      std::snprintf(text, sizeof text, "Lost connection on port %d", port);
      ReportResult(text);
      done = true;
      state = kIdle;
      return false;
    case Receive::kWrongLength: ReportMessage("Bad Packet Length. . ."); return true;
    case Receive::kWrongSource: ReportMessage("Bad packet source address . ."); return true;
    case Receive::kWrongPayload: ReportMessage("Bad packet payload. . ."); return true;
    case Receive::kOtherFrame: return true;
  }
  return true;
}

void EchoClient::FinishPort() {
  missing += static_cast<int>(std::count(tracking.begin(), tracking.end(), uint8_t{0}));
  if (port >= portCount - 1) {
    state = kEvaluate;
  } else {
    // The next port opens its engine afresh; this one's is stopped first.
    card->ClosePacketEngine();
    SelectPort(port + 1);
    state = kOpenPort;
  }
  ReportMessage("");
}

void EchoClient::Evaluate() {
  const double limit = packetCount * 0.001;
  result = (bad <= limit && missing <= limit) ? kResultPassed : kResultTooManyErrors;
  done = true;
}
