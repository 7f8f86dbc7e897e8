#pragma once
#include <string>

// Options that every orvdiag command shares.
struct GlobalOptions {
  std::string bench;           // bench file; empty: the built-in bench
  std::string detect = "auto";  // auto | r51 | r83 | unknown
  bool allDevices = false;
  bool debugToFile = false;
  bool resultsFile = false;
  bool json = false;
};

// Exit statuses of orvdiag.
enum ExitStatus : int {
  kExitOk = 0,
  kExitFailed = 1,  // a test or check failed
  kExitUsage = 2,   // bad options or an unusable bench
  kExitBackend = 3, // the hardware backend failed while running
};
