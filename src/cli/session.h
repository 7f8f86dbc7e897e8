#pragma once
#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/results_log.h"
#include "cli/options.h"

class PCI_System;

// A usage or bench problem: one line on standard error, exit status 2.
struct UsageError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// One run of the program as the command line sees it: the backend opened and
// scanned, the main dialog initialised, and the results log routed to the
// command's output.
class Session {
 public:
  explicit Session(const GlobalOptions& options);
  ~Session();

  PCI_System& System() { return *system_; }
  MainDialog& Dialog() { return *dialog_; }
  ResultsLog& Log() { return log_; }

  // Lines the dialog wrote while it initialised (the detection summary).
  const std::vector<std::string>& InitialLines() const { return initialLines_; }

  // Where the command's own report goes (standard output as it was before
  // "debug to file" redirected it).
  FILE* Out() const { return out_; }

  // From now on every appended log line is printed to Out() as it is written.
  void EchoLogLines();

  const GlobalOptions& Options() const { return options_; }

 private:
  GlobalOptions options_;
  std::unique_ptr<PCI_System> system_;
  ResultsLog log_;
  std::unique_ptr<MainDialog> dialog_;
  std::vector<std::string> initialLines_;
  FILE* out_ = stdout;
  bool redirected_ = false;
};
