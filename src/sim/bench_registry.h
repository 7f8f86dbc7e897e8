#pragma once
// The extension seam of the bench loader. A new kind of top-level table
// ([[board]], [[segment]] ...) is a loader function plus one entry in the list
// of BuiltinBenchTableKinds() (bench_tables.cpp), or a RegisterBenchTable call.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <toml++/toml.h>

#include "sim/bdf.h"
#include "sim/function_spec.h"

namespace sim {

class Machine;
class PciFunction;

// State of one load: the file's name for messages and the machine being built.
class BenchContext {
 public:
  BenchContext(std::string name, Machine& machine) : name_(std::move(name)), machine_(&machine) {}
  // A context that only reports (before the machine exists).
  explicit BenchContext(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  Machine& machine();

  // Directory for the EEPROM files of boards that name none; empty: none.
  std::string eepromDirectory;  // throws std::logic_error in a reporting-only context

  // Throws BenchError "name:line: message".
  [[noreturn]] void fail(int line, const std::string& message) const;

  // Adds a function to the machine; a refusal (duplicate slot, unreachable bus,
  // bad bridge range) becomes a BenchError at `line`.
  PciFunction& place(int line, Bdf at, std::unique_ptr<PciFunction> function);
  // Line of the table that placed a function, or 0.
  int lineOf(Bdf at) const;

 private:
  std::string name_;
  Machine* machine_ = nullptr;
  std::map<Bdf, int> placed_;
};

// One table of a bench file with the keys it may hold; keys outside that list
// are refused when the entry is made. Readers check types and ranges and fail
// at the line of the offending value.
class BenchEntry {
 public:
  BenchEntry(BenchContext& context, const toml::table& table, std::vector<std::string_view> keys);

  BenchContext& context() const { return context_; }
  const toml::table& table() const { return table_; }
  int line() const;
  bool has(std::string_view key) const { return table_.contains(key); }
  int lineOf(std::string_view key) const;  // line of the key's value, else the table's

  // Integers in 0..max. The one without a fallback requires the key.
  uint64_t integer(std::string_view key, uint64_t max) const;
  uint64_t integer(std::string_view key, uint64_t max, uint64_t fallback) const;
  std::optional<uint64_t> optionalInteger(std::string_view key, uint64_t max) const;
  bool boolean(std::string_view key, bool fallback) const;
  std::optional<std::string> optionalString(std::string_view key) const;
  // A string that must be one of `choices`.
  std::string choice(std::string_view key, std::initializer_list<std::string_view> choices,
                     std::string_view fallback) const;
  // An array of tables (inline or [[x.key]]); empty when the key is absent.
  std::vector<const toml::table*> tables(std::string_view key) const;

  [[noreturn]] void fail(const std::string& message) const;  // at the table's line
  [[noreturn]] void fail(std::string_view key, const std::string& message) const;

 private:
  const toml::node* node(std::string_view key) const { return table_.get(key); }
  BenchContext& context_;
  const toml::table& table_;
};

// Concatenates key lists for BenchEntry.
std::vector<std::string_view> Keys(std::initializer_list<std::vector<std::string_view>> parts);

// Keys of ReadLocation and of ReadFunctionKeys.
extern const std::vector<std::string_view> kLocationKeys;  // bus, device, function
extern const std::vector<std::string_view> kFunctionKeys;  // name, vendor, device_id, class, ...

// bus (default 0), device (required), function (default 0).
Bdf ReadLocation(const BenchEntry& entry);
// Fills the function description from whichever function keys the table holds
// (others keep the values it had); BARs are checked against the header layout of `barCount` BARs.
void ReadFunctionKeys(const BenchEntry& entry, FunctionSpec& spec, int barCount);

// A kind of top-level table. Loaders run in ascending `order` once the machine
// exists, each with all tables of its kind in file order.
struct BenchTableKind {
  std::string name;  // the table's key: "function" for [[function]]
  int order = 0;
  bool array = true;  // [[name]] tables (true) or one [name] table (false)
  std::function<void(BenchContext&, const std::vector<const toml::table*>&)> load;
};

// Kinds compiled into the loader: ram (10), bridge (20), function (30).
std::vector<BenchTableKind> BuiltinBenchTableKinds();
// The built-in kinds plus the registered ones.
const std::vector<BenchTableKind>& BenchTableKinds();
// Adds a kind; throws std::logic_error when the name is taken ("machine" included).
void RegisterBenchTable(BenchTableKind kind);
// Removes a registered kind (built-in kinds stay); false if there was none.
bool UnregisterBenchTable(std::string_view name);

}  // namespace sim
