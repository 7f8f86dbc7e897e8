// The network tests on the command line: the echo server, the echo test
// against a server elsewhere on the segment, and the packet engine's
// built-in self-test.
#include <csignal>
#include <cstdio>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "cards/pci_card.h"
#include "cli/commands.h"
#include "cli/dialog_cli.h"
#include "cli/session.h"
#include "hw/adapter.h"
#include "hw/r83drv.h"
#include "net/echo_reporter.h"
#include "net/echo_server.h"
#include "pci/pci_system.h"

namespace {

// ---- echo-server ----

volatile std::sig_atomic_t stopRequested = 0;

extern "C" void RequestStop(int) { stopRequested = 1; }

// Installs the Ctrl-C and termination handlers for a scope.
class StopSignals {
 public:
  StopSignals() {
    stopRequested = 0;
    struct sigaction action = {};
    action.sa_handler = RequestStop;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &savedInt_);
    sigaction(SIGTERM, &action, &savedTerm_);
  }
  ~StopSignals() {
    sigaction(SIGINT, &savedInt_, nullptr);
    sigaction(SIGTERM, &savedTerm_, nullptr);
  }
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

 private:
  struct sigaction savedInt_ = {};
  struct sigaction savedTerm_ = {};
};

struct EchoServerOptions {
  std::vector<std::string> boards;
  double seconds = 0;  // 0: until interrupted
};

void PrintCounters(FILE* out, const EchoServer& server) {
  std::fprintf(out, "Packets Echoed: %lld  Bytes Echoed: %lld  Throughput: %lld Mbits/sec\n",
               static_cast<long long>(server.packetsEchoed), static_cast<long long>(server.bytesEchoed),
               static_cast<long long>(server.throughput));
  std::fflush(out);
}

int RunEchoServer(const GlobalOptions& options, const EchoServerOptions& opts) {
  Session session(options);
  SelectBoards(session.Dialog(), opts.boards);
  const dialog_cli::Board board = dialog_cli::SelectedBoards(session).front();
  PCI_Card& card = dialog_cli::MakeCurrent(session, board);
  FILE* out = session.Out();
  PCI_System& system = session.System();
  nlohmann::json refreshes = nlohmann::json::array();

  EchoServer server(&card);
  if (const char* failure = server.Start()) {
    std::fprintf(stderr, "orvdiag: EEProm error: %s\n", failure);
    return kExitFailed;
  }
  if (!options.json) {
    std::fprintf(out, "%s\n", dialog_cli::BoardTitle(board, card).c_str());
    std::fprintf(out, "Echo Server Address: %s\n", server.addressText.c_str());
    std::fflush(out);
  }

  StopSignals signals;
  const uint64_t start = system.MonotonicMicroseconds();
  const uint64_t limit = static_cast<uint64_t>(opts.seconds * 1e6);
  while (stopRequested == 0) {
    if (server.Step()) {
      if (options.json)
        refreshes.push_back({{"packets", server.packetsEchoed}, {"bytes", server.bytesEchoed},
                             {"throughput_mbits", server.throughput}});
      else
        PrintCounters(out, server);
    }
    if (limit != 0 && system.MonotonicMicroseconds() - start >= limit) break;
  }
  server.Stop();

  if (options.json) {
    nlohmann::json report = dialog_cli::BoardJson(board, card);
    report["address"] = server.addressText;
    report["refreshes"] = refreshes;
    report["packets"] = server.packetsEchoed;
    report["bytes"] = server.bytesEchoed;
    std::fprintf(out, "%s\n", report.dump(2).c_str());
  } else {
    std::fprintf(out, "Echo server stopped: %lld packets, %lld bytes echoed\n",
                 static_cast<long long>(server.packetsEchoed), static_cast<long long>(server.bytesEchoed));
  }
  return kExitOk;
}

// ---- echo-test ----

// Prints every report as it comes, or collects them for the JSON report.
class PrintingReporter : public EchoReporter {
 public:
  PrintingReporter(FILE* out, bool json) : out_(out), json_(json) {}

  void Message(const char* text) override { Emit("message", text, "%s"); }
  void Result(const char* text) override {
    if (std::string(text) == "Echo test completed successfully") passed_ = true;
    Emit("result", text, "Result: %s");
  }
  void Status(const char* text) override { Emit("status", text, "Status: %s"); }
  void Progress(const char* text, int count) override {
    if (json_) {
      events_.push_back({{"progress", text}, {"count", count}});
      return;
    }
    std::fprintf(out_, "Progress: %s %d\n", text, count);
    std::fflush(out_);
  }

  bool Passed() const { return passed_; }
  nlohmann::json TakeEvents() {
    nlohmann::json events = std::move(events_);
    events_ = nlohmann::json::array();
    passed_ = false;
    return events;
  }

 private:
  void Emit(const char* kind, const char* text, const char* format) {
    if (json_) {
      events_.push_back({{kind, text}});
      return;
    }
    std::fprintf(out_, format, text);
    std::fputc('\n', out_);
    std::fflush(out_);
  }

  FILE* out_;
  bool json_;
  bool passed_ = false;
  nlohmann::json events_ = nlohmann::json::array();
};

struct EchoTestOptions {
  std::vector<std::string> boards;
  std::string server;
  int packets = 8000;
};

int RunEchoTestCommand(const GlobalOptions& options, const EchoTestOptions& opts) {
  EthernetAddress server;
  if (!server.Parse(opts.server))
    throw UsageError("--server takes an Ethernet address as xx:xx:xx:xx:xx:xx, not \"" + opts.server + "\"");
  Session session(options);
  SelectBoards(session.Dialog(), opts.boards);
  FILE* out = session.Out();
  PrintingReporter reporter(out, options.json);
  nlohmann::json boards = nlohmann::json::array();
  bool allPassed = true;
  for (const dialog_cli::Board& board : dialog_cli::SelectedBoards(session)) {
    PCI_Card& card = dialog_cli::MakeCurrent(session, board);
    if (!options.json) {
      std::fprintf(out, "%s\n", dialog_cli::BoardTitle(board, card).c_str());
      std::fflush(out);
    }
    const char* answer = card.RunEchoTest(&reporter, &reporter, opts.packets, server);
    const bool passed = answer == nullptr && reporter.Passed();
    allPassed &= passed;
    if (options.json) {
      nlohmann::json entry = dialog_cli::BoardJson(board, card);
      entry["passed"] = passed;
      entry["answer"] = answer ? nlohmann::json(answer) : nlohmann::json(nullptr);
      entry["reports"] = reporter.TakeEvents();
      boards.push_back(entry);
    } else {
      reporter.TakeEvents();
      if (answer != nullptr) std::fprintf(out, "%s\n", answer);
    }
  }
  if (options.json)
    std::fprintf(out, "%s\n", nlohmann::json({{"boards", boards}, {"passed", allPassed}}).dump(2).c_str());
  return allPassed ? kExitOk : kExitFailed;
}

// ---- selftest ----

const char* LoopbackMeaning(int code) {
  switch (code) {
    case 10: return "bus mastering disabled";
    case 20: return "transmit descriptor not returned";
    case 30: return "receive descriptor not returned";
    case 40: return "received byte wrong";
    default: return "unknown loopback code";
  }
}

std::string SelftestMeaning(int code) {
  switch (code) {
    case 0: return "all checks passed";
    case 100: return "a configuration dword differs from its expected value";
    case 200: return "a read-only configuration bit (mask 1) changed when written";
    case 300: return "a read-only configuration bit (mask 2) changed when written";
    case 400: return "a read-only configuration bit (mask 3) changed when written";
    case 510: return "neither I/O nor memory space is enabled in CFCS";
    case 520: return "a CSR differs from its expected value";
    case 521: return "a read-only CSR bit changed when written";
    case 530: return "with CFCS cleared, a CSR read differs from CSR0's read";
    case 531: return "with CFCS cleared, a CSR changed after writing its complement";
    case 540: return "a CSR differs from its expected value after the writes";
    case 630: return "an EEPROM word did not read back inverted after writing its complement";
    case 640: return "an EEPROM word did not read back after restoring it";
    case 660: return "EEPROM word 0 changed although writing was disabled";
    case 710: return "MII register 16 did not read back 0x5555";
    case 711: return "MII register 16 did not read back 0xAAAA";
    case 721: return "an MII register differs from its expected value";
    case 722: return "a read-only MII bit changed when written";
    case 730: return "MII register 18 bit 14 is clear";
    case 740: return "MII register 20 bit 2 is set";
    default: break;
  }
  if (code > 800 && code < 900) return std::string("loopback at 100 Mb/s failed: ") + LoopbackMeaning(code - 800);
  if (code > 900 && code < 1000) return std::string("loopback at 10 Mb/s failed: ") + LoopbackMeaning(code - 900);
  return "unknown code";
}

int RunSelftest(const GlobalOptions& options, const std::vector<std::string>& boardNames) {
  Session session(options);
  SelectBoards(session.Dialog(), boardNames);
  FILE* out = session.Out();
  nlohmann::json boards = nlohmann::json::array();
  bool allPassed = true;
  for (const dialog_cli::Board& board : dialog_cli::SelectedBoards(session)) {
    PCI_Card& card = dialog_cli::MakeCurrent(session, board);
    nlohmann::json entry = dialog_cli::BoardJson(board, card);
    if (!options.json) std::fprintf(out, "%s\n", dialog_cli::BoardTitle(board, card).c_str());
    Adapter* adapter = card.adapter;
    if (adapter == nullptr) {
      allPassed = false;
      entry["error"] = "no packet engine for this card";
      if (!options.json) std::fprintf(out, "Self-test not run: no packet engine for this card\n");
      boards.push_back(entry);
      continue;
    }
    // The self-test uses the descriptor area as scratch: the engine is
    // prepared for it, and released afterwards.
    static const uint32_t kEngineDefaults[2] = {0, 0};
    adapter->dmaused = 0;
    adapter->rxready = nullptr;
    adapter->lasterror = nullptr;
    if (r83drv_init(adapter, 16, 16, kEngineDefaults) != 0) {
      allPassed = false;
      const char* why = adapter->lasterror ? adapter->lasterror : "the packet engine could not be prepared";
      entry["error"] = why;
      if (!options.json) std::fprintf(out, "Self-test not run: %s\n", why);
      boards.push_back(entry);
      continue;
    }
    const uint16_t code = adapter->selftest(adapter);
    adapter->shutdown(adapter);
    adapter->close(adapter);
    card.Reset();
    allPassed &= code == 0;
    entry["code"] = code;
    entry["meaning"] = SelftestMeaning(code);
    if (!options.json) std::fprintf(out, "Self-test code %u: %s\n", code, SelftestMeaning(code).c_str());
    boards.push_back(entry);
  }
  if (options.json)
    std::fprintf(out, "%s\n", nlohmann::json({{"boards", boards}, {"passed", allPassed}}).dump(2).c_str());
  return allPassed ? kExitOk : kExitFailed;
}

}  // namespace

void AddNetCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto server = std::make_shared<EchoServerOptions>();
  auto* echoServer = app.add_subcommand("echo-server", "Echo every frame sent to a board's address until Ctrl-C");
  echoServer->add_option("--board", server->boards, "The board as BUS:SLOT (default: the first listed board)");
  echoServer->add_option("--seconds", server->seconds, "Stop after this many seconds (default: run until interrupted)")
      ->check(CLI::NonNegativeNumber);
  echoServer->callback([&options, &run, server] { run = [&options, server] { return RunEchoServer(options, *server); }; });

  auto test = std::make_shared<EchoTestOptions>();
  auto* echoTest = app.add_subcommand("echo-test", "Run the echo test of the selected boards against an echo server");
  echoTest->add_option("--server", test->server, "The echo server's Ethernet address")->required();
  echoTest->add_option("--board", test->boards, "A board as BUS:SLOT (repeatable; default every listed board)");
  echoTest->add_option("--packets", test->packets, "Data frames per port (8000 or more)");
  echoTest->callback([&options, &run, test] { run = [&options, test] { return RunEchoTestCommand(options, *test); }; });

  auto selftestBoards = std::make_shared<std::vector<std::string>>();
  auto* selftest = app.add_subcommand("selftest", "Run the packet engine's built-in self-test on the selected boards");
  selftest->add_option("--board", *selftestBoards, "A board as BUS:SLOT (repeatable; default every listed board)");
  selftest->callback([&options, &run, selftestBoards] {
    run = [&options, selftestBoards] { return RunSelftest(options, *selftestBoards); };
  });
}
