#pragma once
#include <cstdint>
#include <vector>

#include "hw/r83drv.h"
#include "production/ethernet_address.h"

class PCI_Card;
class EchoReporter;

// The client end of the echo test: finds the echo server with a probe frame,
// streams numbered data frames at most eight ahead of their echoes, checks
// every echo and passes the card when no more than one frame in a thousand
// came back bad and no more than one in a thousand is missing. Each Step does
// one short piece of work so that a caller can keep its interface alive.
class EchoClient {
 public:
  // Frame layout of the echo protocol (big-endian fields, no CRC).
  static constexpr int kFrameLength = 1514;
  static constexpr uint8_t kProbeType[2] = {0xBE, 0xEF};
  static constexpr uint8_t kDataType[2] = {0xDE, 0xAD};
  static constexpr uint8_t kProbeFill = 0xA5;
  static constexpr int kMinPacketCount = 8000;
  static constexpr int kWindow = 8;         // data frames ahead of their echoes
  static constexpr int kProbeRetries = 10;  // probes after the first
  static constexpr int kTimeoutSeconds = 2;

  enum State : int {
    kIdle = 0,
    kOpenPort = 1,
    kProbe = 2,
    kAwaitProbeAnswer = 3,
    kSendBurst = 4,
    kReceiveEchoes = 5,
    kPortFinished = 6,
    kEvaluate = 7,
  };

  // Final results of a run.
  static constexpr int kResultPassed = 0;
  static constexpr int kResultTooManyErrors = 11;
  static constexpr int kResultAborted = -1;

  // Either reporter may be null.
  EchoClient(EchoReporter* first, EchoReporter* second);
  ~EchoClient();
  EchoClient(const EchoClient&) = delete;
  EchoClient& operator=(const EchoClient&) = delete;

  bool Attach(PCI_Card* card);
  bool SetPacketCount(int n);
  // 0 normally, 1 once the test has failed.
  int Step();
  bool IsDone() const { return done; }

  // Builds the probe frame, or the data frame with sequence number s, into
  // `out` (kFrameLength bytes).
  static void BuildProbe(uint8_t* out, const EthernetAddress& server, const EthernetAddress& client);
  static void BuildDataFrame(uint8_t* out, const EthernetAddress& server, const EthernetAddress& client,
                             uint16_t s);

  // ---- Fields ----
  EthernetAddress serverAddress;
  EthernetAddress ownAddress;
  EchoReporter* reporter1;
  EchoReporter* reporter2;
  PCI_Card* card = nullptr;
  int portCount = 0;
  int sent = 0;
  int received = 0;
  int port = 0;
  int packetCount = kMinPacketCount;
  // One frame as the engine hands it over: room for the longest buffer it
  // fills, not only for the protocol's 1514 bytes.
  uint8_t frame[R83_BUFFER_SIZE] = {};
  int timeout = kTimeoutSeconds;
  int64_t deadline = 0;
  int probeRetries = 0;
  int rxLength = 0;
  std::vector<uint8_t> tracking;
  int missing = 0;
  int bad = 0;
  bool done = false;
  int state = kIdle;
  int result = kResultAborted;

 private:
  enum class Receive { kCaughtUp, kDeadlinePassed, kWrongLength, kWrongSource, kWrongPayload, kOtherFrame };

  void SelectPort(int p);
  void StartWait();
  bool WaitOver();
  void ReportMessage(const char* text);
  void ReportResult(const char* text);
  void ReportStatus(const char* text);
  void ReportProgress(const char* text, int count);
  bool OpenPort();
  void SendProbe();
  bool AwaitProbeAnswer();
  void SendBurst();
  bool ReceiveEchoes();
  Receive ReceiveLoop();
  void FinishPort();
  void Evaluate();
  bool IsProbeAnswer() const;

  // The wall clock has whole seconds; the monotonic bound ends a wait even if
  // the wall clock is set back while it runs.
  uint64_t waitLimitMicros_ = 0;
  // The shutdown of a finished run happens once, however often Step is called.
  bool finished_ = false;
};
