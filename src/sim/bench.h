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

// Builds the machine a bench file describes (see docs/bench-files.md).
std::unique_ptr<Machine> LoadBenchFile(const std::string& path);                        // throws BenchError
std::unique_ptr<Machine> LoadBenchText(std::string_view text, const std::string& name);  // throws BenchError
// The bench compiled into the program (the same text as bench/basic.toml).
std::unique_ptr<Machine> BuiltinBench();
// Its text.
std::string_view BuiltinBenchText();

}  // namespace sim
