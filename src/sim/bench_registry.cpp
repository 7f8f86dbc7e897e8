#include "sim/bench_registry.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <stdexcept>

#include "sim/bench.h"
#include "sim/machine.h"
#include "sim/machine_error.h"
#include "sim/pci_function.h"

namespace sim {

namespace {

int LineOf(const toml::source_region& source) { return static_cast<int>(source.begin.line); }

std::string Quoted(std::string_view key) {
  // Appended piecewise: g++ 12 at -O3 misreads `"\"" + std::string(key)` (-Wrestrict).
  std::string text;
  text.reserve(key.size() + 2);
  text += '"';
  text.append(key);
  text += '"';
  return text;
}

const char* TypeName(const toml::node& n) {
  switch (n.type()) {
    case toml::node_type::table: return "a table";
    case toml::node_type::array: return "an array";
    case toml::node_type::string: return "a string";
    case toml::node_type::integer: return "an integer";
    case toml::node_type::floating_point: return "a floating-point number";
    case toml::node_type::boolean: return "a boolean";
    default: return "a date or time";
  }
}

// A number in the base it was written in.
std::string Number(int64_t value, bool hex) {
  char text[32];
  if (hex && value >= 0) {
    std::snprintf(text, sizeof text, "0x%" PRIx64, value);
  } else {
    std::snprintf(text, sizeof text, "%" PRId64, value);
  }
  return text;
}

}  // namespace

// ---- BenchContext ----

Machine& BenchContext::machine() {
  if (machine_ == nullptr) throw std::logic_error("bench context has no machine yet");
  return *machine_;
}

void BenchContext::fail(int line, const std::string& message) const {
  throw BenchError(name_ + ":" + std::to_string(line) + ": " + message);
}

PciFunction& BenchContext::place(int line, Bdf at, std::unique_ptr<PciFunction> function) {
  if (auto it = placed_.find(at); it != placed_.end()) {
    fail(line, "duplicate function " + at.str() + " (first at line " + std::to_string(it->second) + ")");
  }
  try {
    PciFunction& fn = machine().addFunction(at, std::move(function));
    placed_[at] = line;
    return fn;
  } catch (const MachineError& e) {
    fail(line, e.what());
  }
}

int BenchContext::lineOf(Bdf at) const {
  auto it = placed_.find(at);
  return it == placed_.end() ? 0 : it->second;
}

// ---- BenchEntry ----

BenchEntry::BenchEntry(BenchContext& context, const toml::table& table,
                       std::vector<std::string_view> keys)
    : context_(context), table_(table) {
  for (auto&& [key, value] : table_) {
    if (std::find(keys.begin(), keys.end(), key.str()) == keys.end()) {
      context_.fail(LineOf(key.source()), "unknown key " + Quoted(key.str()));
    }
  }
}

int BenchEntry::line() const { return LineOf(table_.source()); }

int BenchEntry::lineOf(std::string_view key) const {
  const toml::node* n = node(key);
  return n ? LineOf(n->source()) : line();
}

void BenchEntry::fail(const std::string& message) const { context_.fail(line(), message); }

void BenchEntry::fail(std::string_view key, const std::string& message) const {
  context_.fail(lineOf(key), message);
}

std::optional<uint64_t> BenchEntry::optionalInteger(std::string_view key, uint64_t max) const {
  const toml::node* n = node(key);
  if (n == nullptr) return std::nullopt;
  const toml::value<int64_t>* v = n->as_integer();
  if (v == nullptr) fail(key, Quoted(key) + " must be an integer, not " + TypeName(*n));
  const int64_t value = v->get();
  if (value < 0 || static_cast<uint64_t>(value) > max) {
    const bool hex = v->flags() == toml::value_flags::format_as_hexadecimal;
    fail(key, Quoted(key) + " = " + Number(value, hex) + " is out of range (0 to " +
                  Number(static_cast<int64_t>(max), hex) + ")");
  }
  return static_cast<uint64_t>(value);
}

uint64_t BenchEntry::integer(std::string_view key, uint64_t max) const {
  std::optional<uint64_t> value = optionalInteger(key, max);
  if (!value) fail("missing key " + Quoted(key));
  return *value;
}

uint64_t BenchEntry::integer(std::string_view key, uint64_t max, uint64_t fallback) const {
  return optionalInteger(key, max).value_or(fallback);
}

bool BenchEntry::boolean(std::string_view key, bool fallback) const {
  const toml::node* n = node(key);
  if (n == nullptr) return fallback;
  if (!n->is_boolean()) fail(key, Quoted(key) + " must be true or false, not " + TypeName(*n));
  return n->as_boolean()->get();
}

std::optional<std::string> BenchEntry::optionalString(std::string_view key) const {
  const toml::node* n = node(key);
  if (n == nullptr) return std::nullopt;
  if (!n->is_string()) fail(key, Quoted(key) + " must be a string, not " + TypeName(*n));
  return n->as_string()->get();
}

std::string BenchEntry::choice(std::string_view key, std::initializer_list<std::string_view> choices,
                               std::string_view fallback) const {
  const std::string value = optionalString(key).value_or(std::string(fallback));
  if (std::find(choices.begin(), choices.end(), value) != choices.end()) return value;
  std::string list;
  for (std::string_view c : choices) list += (list.empty() ? "" : " or ") + Quoted(c);
  fail(key, Quoted(key) + " must be " + list + ", not " + Quoted(value));
}

std::vector<const toml::table*> BenchEntry::tables(std::string_view key) const {
  std::vector<const toml::table*> out;
  const toml::node* n = node(key);
  if (n == nullptr) return out;
  const toml::array* array = n->as_array();
  if (array == nullptr) fail(key, Quoted(key) + " must be an array of tables, not " + TypeName(*n));
  for (const toml::node& element : *array) {
    if (!element.is_table()) {
      context_.fail(LineOf(element.source()),
                    "elements of " + Quoted(key) + " must be tables, not " + TypeName(element));
    }
    out.push_back(element.as_table());
  }
  return out;
}

// ---- Common keys ----

std::vector<std::string_view> Keys(std::initializer_list<std::vector<std::string_view>> parts) {
  std::vector<std::string_view> out;
  for (const auto& part : parts) out.insert(out.end(), part.begin(), part.end());
  return out;
}

const std::vector<std::string_view> kLocationKeys = {"bus", "device", "function"};
const std::vector<std::string_view> kFunctionKeys = {
    "name",   "vendor",   "device_id", "class", "revision", "subsystem_vendor", "subsystem_id",
    "command", "status", "bars",      "config"};

Bdf ReadLocation(const BenchEntry& entry) {
  Bdf at;
  at.bus = static_cast<int>(entry.integer("bus", 255, 0));
  at.device = static_cast<int>(entry.integer("device", 31));
  at.function = static_cast<int>(entry.integer("function", 7, 0));
  return at;
}

void ReadFunctionKeys(const BenchEntry& entry, FunctionSpec& spec, int barCount) {
  if (auto name = entry.optionalString("name")) spec.name = *name;
  spec.vendor = static_cast<uint16_t>(entry.integer("vendor", 0xFFFF, spec.vendor));
  spec.device = static_cast<uint16_t>(entry.integer("device_id", 0xFFFF, spec.device));
  spec.classCode = static_cast<uint32_t>(entry.integer("class", 0xFFFFFF, spec.classCode));
  spec.revision = static_cast<uint8_t>(entry.integer("revision", 0xFF, spec.revision));
  spec.subsystemVendor =
      static_cast<uint16_t>(entry.integer("subsystem_vendor", 0xFFFF, spec.subsystemVendor));
  spec.subsystemId = static_cast<uint16_t>(entry.integer("subsystem_id", 0xFFFF, spec.subsystemId));
  if (auto command = entry.optionalInteger("command", 0xFFFF)) {
    spec.command = static_cast<uint16_t>(*command);
  }
  spec.status = static_cast<uint16_t>(entry.integer("status", 0xFFFF, spec.status));

  BenchContext& context = entry.context();
  if (entry.has("bars")) spec.bars.clear();
  for (const toml::table* t : entry.tables("bars")) {
    BenchEntry b(context, *t, {"index", "type", "size", "prefetchable", "base"});
    BarSpec bar;
    bar.index = static_cast<int>(b.integer("index", 5));
    if (!b.has("type")) b.fail("missing key \"type\"");
    bar.type = b.choice("type", {"io", "mem"}, "") == "io" ? BarType::Io : BarType::Mem32;
    bar.size = static_cast<uint32_t>(b.integer("size", 0xFFFFFFFF));
    bar.prefetchable = b.boolean("prefetchable", false);
    if (auto base = b.optionalInteger("base", 0xFFFFFFFF)) bar.base = static_cast<uint32_t>(*base);
    if (std::string error = BarSpecError(bar, barCount); !error.empty()) b.fail(error);
    for (const BarSpec& other : spec.bars) {
      if (other.index == bar.index) b.fail("BAR " + std::to_string(bar.index) + " defined twice");
    }
    spec.bars.push_back(bar);
  }
  for (const toml::table* t : entry.tables("config")) {
    BenchEntry c(context, *t, {"offset", "value", "writable", "w1c"});
    ConfigDword d;
    const uint64_t offset = c.integer("offset", 0xFC);
    if (offset % 4 != 0) c.fail("offset", "\"offset\" must be a multiple of 4");
    d.offset = static_cast<uint8_t>(offset);
    d.value = static_cast<uint32_t>(c.integer("value", 0xFFFFFFFF, 0));
    d.writable = static_cast<uint32_t>(c.integer("writable", 0xFFFFFFFF, 0));
    d.w1c = static_cast<uint32_t>(c.integer("w1c", 0xFFFFFFFF, 0));
    spec.config.push_back(d);
  }
}

// ---- Registry ----

namespace {

std::vector<BenchTableKind>& Registry() {
  static std::vector<BenchTableKind> kinds = BuiltinBenchTableKinds();
  return kinds;
}

}  // namespace

const std::vector<BenchTableKind>& BenchTableKinds() { return Registry(); }

void RegisterBenchTable(BenchTableKind kind) {
  std::vector<BenchTableKind>& kinds = Registry();
  if (kind.name == "machine" ||
      std::any_of(kinds.begin(), kinds.end(), [&](const auto& k) { return k.name == kind.name; })) {
    throw std::logic_error("bench table kind \"" + kind.name + "\" already exists");
  }
  kinds.push_back(std::move(kind));
}

bool UnregisterBenchTable(std::string_view name) {
  std::vector<BenchTableKind>& kinds = Registry();
  const std::vector<BenchTableKind> builtin = BuiltinBenchTableKinds();
  if (std::any_of(builtin.begin(), builtin.end(), [&](const auto& k) { return k.name == name; })) {
    return false;
  }
  auto it = std::find_if(kinds.begin(), kinds.end(), [&](const auto& k) { return k.name == name; });
  if (it == kinds.end()) return false;
  kinds.erase(it);
  return true;
}

}  // namespace sim
