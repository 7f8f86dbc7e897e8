#pragma once
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

// Runs the built orvdiag with the given arguments in a scratch directory and
// captures what it printed and its exit status.
struct OrvdiagRun {
  std::string out;
  std::string err;
  int status = -1;
};

inline std::string ReadFileText(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

inline OrvdiagRun RunOrvdiag(const std::string& arguments, const std::filesystem::path& workDir = {}) {
  namespace fs = std::filesystem;
  static int counter = 0;
  const fs::path scratch = fs::temp_directory_path() / ("orvdiag-run-" + std::to_string(getpid()) + "-" + std::to_string(counter++));
  fs::create_directories(scratch);
  const fs::path dir = workDir.empty() ? scratch : workDir;
  // Each run gets its own state directory, so the built-in bench's EEPROMs
  // start from their factory images and no run sees another's programming.
  const std::string command = "cd '" + dir.string() + "' && ORVDIAG_STATE_DIR='" + (scratch / "state").string() +
                              "' '" + ORVDIAG_PATH + "' " + arguments + " >'" +
                              (scratch / "out").string() + "' 2>'" + (scratch / "err").string() + "' </dev/null";
  const int raw = std::system(command.c_str());
  OrvdiagRun run;
  run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  run.out = ReadFileText(scratch / "out");
  run.err = ReadFileText(scratch / "err");
  fs::remove_all(scratch);
  return run;
}
