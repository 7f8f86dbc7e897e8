#pragma once
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "sim/machine.h"

namespace sim {

// A bench file that cannot be loaded; what() reads "file:line: problem".
struct BenchError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// How a bench is loaded, beyond what its text says.
struct BenchOptions {
  // Where boards without an eeprom_file of their own keep their EEPROM between
  // runs (one file per board, named by its slot); empty: they do not persist.
  std::string eepromDirectory;
};

// Builds the machine a bench file describes (see docs/bench-files.md).
std::unique_ptr<Machine> LoadBenchFile(const std::string& path, const BenchOptions& options = {});  // throws BenchError
std::unique_ptr<Machine> LoadBenchText(std::string_view text, const std::string& name,
                                       const BenchOptions& options = {});  // throws BenchError
// The bench compiled into the program (the same text as bench/basic.toml).
std::unique_ptr<Machine> BuiltinBench(const BenchOptions& options = {});
// Its text.
std::string_view BuiltinBenchText();

}  // namespace sim
