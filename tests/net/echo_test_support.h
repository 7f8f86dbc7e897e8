#pragma once
// What the echo tests share: a reporter that records everything, a card that
// plays the echo server inside its own packet operations, and a bench with a
// simulated echo station on the board's segment.
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "net/echo_reporter.h"
#include "platform/sim/sim_system.h"
#include "sim/machine.h"
#include "support/fake_eeprom_card.h"

struct RecordingReporter : EchoReporter {
  struct Event {
    std::string kind;
    std::string text;
    int count = 0;
    uint64_t micros = 0;  // on `clock`, when one is given
  };
  std::vector<Event> events;
  PCI_System* clock = nullptr;

  void Message(const char* text) override { Add("message", text, 0); }
  void Result(const char* text) override { Add("result", text, 0); }
  void Status(const char* text) override { Add("status", text, 0); }
  void Progress(const char* text, int count) override { Add("progress", text, count); }

  void Add(const char* kind, const char* text, int count) {
    events.push_back({kind, text, count, clock ? clock->MonotonicMicroseconds() : 0});
  }
  // When the first event of this kind and text came.
  uint64_t When(const std::string& kind, const std::string& text) const {
    for (const Event& e : events)
      if (e.kind == kind && e.text == text) return e.micros;
    return 0;
  }

  std::vector<std::string> Texts(const std::string& kind) const {
    std::vector<std::string> out;
    for (const Event& e : events)
      if (e.kind == kind) out.push_back(e.text);
    return out;
  }
  int Count(const std::string& kind, const std::string& text) const {
    int n = 0;
    for (const Event& e : events) n += e.kind == kind && e.text == text;
    return n;
  }
};

// A card whose "wire" is in memory: every frame sent to the server address is
// answered (addresses exchanged) unless `answer` says otherwise; `answer` may
// change the echo and may queue further frames. Frames are numbered from 1.
class ScriptedEchoCard : public FakeEepromCard {
 public:
  using Frame = std::vector<uint8_t>;
  static constexpr uint64_t kOwn = 0x02000000000Aull;
  static constexpr uint64_t kServer = 0x0200000000EEull;

  explicit ScriptedEchoCard(PCI_System* system) : FakeEepromCard(system) {}

  // Answers whether to echo frame n; may edit the echo and push extra frames
  // into `inbox` ahead of it.
  std::function<bool(int n, Frame& echo, std::deque<Frame>& inbox)> answer;
  std::deque<Frame> inbox;
  int framesSent = 0;
  std::vector<Frame> sentFrames;
  int opens = 0;
  int closes = 0;
  bool engineOpen = false;

  EthernetAddress MacAddress() override { return EthernetAddress(kOwn); }
  void OpenPacketEngine() override {
    ++opens;
    engineOpen = true;
  }
  void ClosePacketEngine() override {
    ++closes;
    engineOpen = false;
  }
  void SendPacket(const uint8_t* frame, int length) override {
    ++framesSent;
    Frame echo(frame, frame + length);
    sentFrames.push_back(echo);
    if (std::memcmp(frame, EthernetAddress(kServer).GetBytes().data(), 6) != 0) return;
    std::memcpy(echo.data(), frame + 6, 6);
    std::memcpy(echo.data() + 6, frame, 6);
    if (!answer || answer(framesSent, echo, inbox)) inbox.push_back(std::move(echo));
  }
  bool ReceivePacket(uint8_t* buffer, int* length) override {
    if (inbox.empty()) return false;
    std::memcpy(buffer, inbox.front().data(), inbox.front().size());
    *length = static_cast<int>(inbox.front().size());
    inbox.pop_front();
    return true;
  }
};

// A system with an empty simulated machine: time for cards that bring their
// own wire.
inline std::unique_ptr<SimSystem> ClockOnlySystem() {
  return std::make_unique<SimSystem>(std::make_unique<sim::Machine>());
}

// The same with a clock that moves only when skipped, set to the start of a
// whole second.
inline std::unique_ptr<SimSystem> ManualClockSystem() {
  sim::MachineOptions options;
  options.clock = sim::Clock::Mode::Manual;
  auto system = std::make_unique<SimSystem>(std::make_unique<sim::Machine>(options));
  const int64_t micros = system->machine().clock().wallMicros() % 1000000;
  system->machine().skip(static_cast<uint64_t>(1000000 - micros));
  return system;
}

// One R83 board at 00:03 on segment "lan" with an echo station at
// 02:00:00:00:00:ee; `segmentKeys` are added to the [[segment]] table.
inline std::string EchoStationBench(const std::string& segmentKeys = {}) {
  return "[[segment]]\n"
         "name = \"lan\"\n"
         "echo_station = \"02:00:00:00:00:ee\"\n" +
         segmentKeys +
         "\n[[board]]\n"
         "device = 3\n"
         "model = \"R83\"\n"
         "mac = \"02:00:00:00:00:0a\"\n"
         "segment = \"lan\"\n";
}
