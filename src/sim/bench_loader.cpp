#include <algorithm>
#include <fstream>
#include <sstream>

#include "sim/bench.h"
#include "sim/bench_registry.h"
#include "sim/firmware.h"
#include "sim/machine_error.h"

namespace sim {

namespace {

int LineOf(const toml::source_region& source) { return static_cast<int>(source.begin.line); }

[[noreturn]] void Fail(const std::string& name, int line, const std::string& message) {
  throw BenchError(name + ":" + std::to_string(line) + ": " + message);
}

// [machine]: what must be known before the machine exists.
MachineOptions ReadMachineOptions(const toml::table& root, const std::string& name,
                                  std::string* description) {
  MachineOptions options;
  const toml::node* node = root.get("machine");
  if (node == nullptr) return options;
  const toml::table* table = node->as_table();
  if (table == nullptr) Fail(name, LineOf(node->source()), "\"machine\" must be one [machine] table");

  BenchContext context(name);
  BenchEntry entry(context, *table, {"description", "dma_base"});
  options.dmaBase = entry.integer("dma_base", 0xFFFFFFFF, options.dmaBase);
  if (options.dmaBase % 0x1000 != 0) entry.fail("dma_base", "\"dma_base\" must be page aligned (a multiple of 0x1000)");
  if (options.dmaBase + Machine::kDmaSize > 0x100000000ull) {
    entry.fail("dma_base", "the 64 KiB DMA block must lie below 4 GiB");
  }
  *description = entry.optionalString("description").value_or("");
  return options;
}

}  // namespace

std::unique_ptr<Machine> LoadBenchText(std::string_view text, const std::string& name, const BenchOptions& bench) {
  toml::table root;
  try {
    root = toml::parse(text, name);
  } catch (const toml::parse_error& e) {
    Fail(name, LineOf(e.source()), std::string(e.description()));
  }

  std::string description;
  const MachineOptions options = ReadMachineOptions(root, name, &description);
  auto machine = std::make_unique<Machine>(options);
  machine->description = description;
  BenchContext context(name, *machine);
  context.eepromDirectory = bench.eepromDirectory;

  // Group the tables by kind, refusing what no kind claims.
  const std::vector<BenchTableKind>& kinds = BenchTableKinds();
  std::vector<std::vector<const toml::table*>> tables(kinds.size());
  for (auto&& [key, node] : root) {
    if (key.str() == "machine") continue;
    auto kind = std::find_if(kinds.begin(), kinds.end(),
                             [&](const BenchTableKind& k) { return k.name == key.str(); });
    if (kind == kinds.end()) {
      const bool table = node.is_table() || node.is_array_of_tables();
      Fail(name, LineOf(key.source()),
           std::string(table ? "unknown table \"" : "unknown key \"") + std::string(key.str()) + "\"");
    }
    auto& list = tables[static_cast<size_t>(kind - kinds.begin())];
    const std::string quoted = "\"" + kind->name + "\"";
    if (kind->array) {
      const toml::array* array = node.as_array();
      if (array == nullptr || !array->is_array_of_tables()) {
        Fail(name, LineOf(key.source()), quoted + " must be written as [[" + kind->name + "]] tables");
      }
      for (const toml::node& element : *array) list.push_back(element.as_table());
    } else {
      if (!node.is_table()) Fail(name, LineOf(key.source()), quoted + " must be one [" + kind->name + "] table");
      list.push_back(node.as_table());
    }
  }

  std::vector<size_t> order(kinds.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(),
                   [&](size_t a, size_t b) { return kinds[a].order < kinds[b].order; });
  for (size_t i : order) {
    if (!tables[i].empty()) kinds[i].load(context, tables[i]);
  }

  try {
    AssignResources(*machine);
  } catch (const ResourceError& e) {
    Fail(name, context.lineOf(e.at), e.what());
  }
  return machine;
}

std::unique_ptr<Machine> LoadBenchFile(const std::string& path, const BenchOptions& options) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw BenchError(path + ": cannot open the file");
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw BenchError(path + ": cannot read the file");
  return LoadBenchText(text.str(), path, options);
}

}  // namespace sim
