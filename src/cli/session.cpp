#include "cli/session.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "pci/card_detection.h"
#include "pci/pci_system.h"
#include "platform/sim/sim_system.h"
#include "sim/bench.h"

namespace {
int DetectionFromName(const std::string& name) {
  if (name == "auto") return kDetectAutomatic;
  if (name == "r51") return kDetectR51;
  if (name == "r83") return kDetectR83;
  if (name == "unknown") return kDetectUnknown;
  throw UsageError("--detect must be auto, r51, r83 or unknown, not \"" + name + "\"");
}

// Where the built-in bench keeps its boards' EEPROMs, so that what one run
// programs the next run reads: $ORVDIAG_STATE_DIR, else the user's state
// directory. Empty (no persistence) when none can be made.
std::string BuiltinStateDirectory() {
  namespace fs = std::filesystem;
  fs::path dir;
  if (const char* state = std::getenv("ORVDIAG_STATE_DIR"); state && *state) {
    dir = state;
  } else if (const char* xdg = std::getenv("XDG_STATE_HOME"); xdg && *xdg) {
    dir = fs::path(xdg) / "orvdiag";
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    dir = fs::path(home) / ".local" / "state" / "orvdiag";
  } else {
    return {};
  }
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) throw UsageError("cannot create the state directory " + dir.string() + ": " + error.message());
  return dir.string();
}

std::unique_ptr<PCI_System> OpenBackend(const GlobalOptions& options) {
  std::unique_ptr<sim::Machine> machine;
  try {
    machine = options.bench.empty() ? sim::BuiltinBench({BuiltinStateDirectory()}) : sim::LoadBenchFile(options.bench);
  } catch (const sim::BenchError& error) {
    throw UsageError(error.what());
  }
  auto system = std::make_unique<SimSystem>(std::move(machine));
  if (const char* message = system->Open()) throw UsageError(std::string("cannot open the bench: ") + message);
  return system;
}
}  // namespace

Session::Session(const GlobalOptions& options) : options_(options) {
  cardDetection = DetectionFromName(options.detect);
  system_ = OpenBackend(options);

  if (options.debugToFile) {
    // Diagnostic output (standard output) is appended to dump.dbg; the
    // command's report keeps going where standard output went before.
    std::fflush(stdout);
    int copy = dup(STDOUT_FILENO);
    if (copy >= 0) out_ = fdopen(copy, "w");
    if (out_ == nullptr || std::freopen("dump.dbg", "a+", stdout) == nullptr)
      throw UsageError("cannot append standard output to dump.dbg");
    redirected_ = true;
  }

  log_.resultsToFile = options.resultsFile;
  log_.onAppend = [this](const std::string& line) { initialLines_.push_back(line); };
  dialog_ = std::make_unique<MainDialog>(*system_, log_);
  dialog_->showAll = options.allDevices;
  dialog_->Initialise();
  log_.onAppend = nullptr;
}

Session::~Session() {
  dialog_.reset();
  system_.reset();
  if (redirected_) {
    std::fflush(stdout);
    std::fflush(out_);
  }
}

void Session::EchoLogLines() {
  log_.onAppend = [this](const std::string& line) {
    std::fputs(line.c_str(), out_);
    std::fputc('\n', out_);
    std::fflush(out_);
  };
}
