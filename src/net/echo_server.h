#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "hw/r83drv.h"
#include "production/ethernet_address.h"

class PCI_Card;

// The far end of the echo test: every frame that arrives addressed to the card
// goes straight back to its sender with the two addresses exchanged, whatever
// its type or payload; frames for other destinations are dropped. The caller
// drives it: Start, then Step whenever it is idle (a GUI's idle loop, a
// command's polling loop), then Stop.
class EchoServer {
 public:
  static constexpr int kRefreshSeconds = 10;

  // Asked for the port of a multi-port card with the card's current port;
  // answers the port to serve.
  using PortChooser = std::function<int(int initialPort)>;

  explicit EchoServer(PCI_Card* card);
  // Closes the packet engine if the caller did not.
  ~EchoServer();
  EchoServer(const EchoServer&) = delete;
  EchoServer& operator=(const EchoServer&) = delete;

  // Chooses the port (only when the card has more than one), opens the packet
  // engine, clears the counters and refreshes the display fields. Null, or
  // the text the engine threw (the engine is then not open).
  const char* Start(const PortChooser& choosePort = {});
  // One pass of the echo loop: echoes at most one frame, then refreshes the
  // display fields when due. True when they were refreshed on this pass.
  bool Step();
  // Closes the packet engine; harmless when it is not open.
  void Stop();
  bool IsRunning() const { return running_; }

  // Megabits per second over an interval: the bytes echoed in it times 8,
  // over 1 000 000 per second of its length (at least one), in integers.
  static int64_t Throughput(int64_t bytes, int64_t seconds);

  // ---- Display fields ----
  std::string addressText;
  // Wide enough that a long run does not wrap (2^31 bytes are under three
  // minutes at 100 Mb/s).
  int64_t packetsEchoed = 0;
  int64_t bytesEchoed = 0;
  int64_t throughput = 0;  // Mbits/sec over the last refresh interval
  int port = 0;
  PCI_Card* card;
  int64_t bytesAtLastUpdate = 0;
  int64_t nextUpdate = 0;   // wall-clock seconds
  int64_t lastUpdate = 0;   // wall-clock seconds of the previous refresh

 private:
  void Refresh(int64_t now);

  EthernetAddress address_;
  bool running_ = false;
  uint8_t frame_[R83_BUFFER_SIZE] = {};
};
