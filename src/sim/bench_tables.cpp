// The built-in kinds of bench tables: RAM regions, bridges and plain functions.
#include <algorithm>

#include "sim/bench_registry.h"
#include "sim/machine.h"
#include "sim/machine_error.h"
#include "sim/pci_bridge.h"
#include "sim/pci_function.h"
#include "sim/board_table.h"
#include "sim/segment_table.h"

namespace sim {

namespace {

void LoadRam(BenchContext& context, const std::vector<const toml::table*>& tables) {
  for (const toml::table* t : tables) {
    BenchEntry entry(context, *t, {"base", "size"});
    const uint64_t base = entry.integer("base", 0xFFFFFFFFFFFFull);
    const uint64_t size = entry.integer("size", 0x100000000ull);
    if (size == 0) entry.fail("size", "\"size\" must not be 0");
    try {
      context.machine().addRam(base, size);
    } catch (const MachineError& e) {
      entry.fail(e.what());
    }
  }
}

struct BridgeEntry {
  const toml::table* table;
  Bdf at;
  uint8_t secondary;
  uint8_t subordinate;
};

void LoadBridges(BenchContext& context, const std::vector<const toml::table*>& tables) {
  const auto keys = Keys({kLocationKeys, kFunctionKeys, {"secondary", "subordinate"}});
  std::vector<BridgeEntry> bridges;
  // First the checks that need no topology, so that a loop reads as a loop
  // rather than as an unreachable bus.
  for (const toml::table* t : tables) {
    BenchEntry entry(context, *t, keys);
    if (entry.has("subsystem_vendor") || entry.has("subsystem_id")) {
      entry.fail(entry.has("subsystem_id") ? "subsystem_id" : "subsystem_vendor",
                 "bridges (header type 1) have no subsystem IDs");
    }
    BridgeEntry b{t, ReadLocation(entry), 0, 0};
    b.secondary = static_cast<uint8_t>(entry.integer("secondary", 255));
    b.subordinate = static_cast<uint8_t>(entry.integer("subordinate", 255, b.secondary));
    if (b.secondary <= b.at.bus) {
      entry.fail("secondary", "bridge " + b.at.str() + " forwards to bus " +
                                  std::to_string(b.secondary) + ", which is not above its own bus " +
                                  std::to_string(b.at.bus) + " (a bridge loop)");
    }
    if (b.subordinate < b.secondary) {
      entry.fail("subordinate", "\"subordinate\" must not be below \"secondary\"");
    }
    bridges.push_back(b);
  }
  // Parents before children: a bridge's own bus is below the buses it forwards to.
  std::stable_sort(bridges.begin(), bridges.end(),
                   [](const BridgeEntry& a, const BridgeEntry& b) { return a.at.bus < b.at.bus; });
  for (const BridgeEntry& b : bridges) {
    BenchEntry entry(context, *b.table, keys);
    FunctionSpec spec;
    spec.classCode = 0x060400;
    ReadFunctionKeys(entry, spec, BarCount(1));
    if (!entry.has("vendor")) entry.fail("missing key \"vendor\"");
    if (!entry.has("device_id")) entry.fail("missing key \"device_id\"");
    std::unique_ptr<PciFunction> bridge;
    try {
      bridge = std::make_unique<PciBridge>(spec, static_cast<uint8_t>(b.at.bus), b.secondary,
                                           b.subordinate);
    } catch (const MachineError& e) {
      entry.fail(e.what());
    }
    context.place(entry.line(), b.at, std::move(bridge));
  }
}

void LoadFunctions(BenchContext& context, const std::vector<const toml::table*>& tables) {
  const auto keys = Keys({kLocationKeys, kFunctionKeys, {"header_type"}});
  for (const toml::table* t : tables) {
    BenchEntry entry(context, *t, keys);
    const Bdf at = ReadLocation(entry);
    FunctionSpec spec;
    spec.headerType = static_cast<uint8_t>(entry.integer("header_type", 0xFF, 0));
    ReadFunctionKeys(entry, spec, BarCount(spec.headerType));
    if (!entry.has("vendor")) entry.fail("missing key \"vendor\"");
    if (!entry.has("device_id")) entry.fail("missing key \"device_id\"");
    std::unique_ptr<PciFunction> fn;
    try {
      fn = std::make_unique<PciFunction>(spec);
    } catch (const MachineError& e) {
      entry.fail(e.what());
    }
    context.place(entry.line(), at, std::move(fn));
  }
}

}  // namespace

std::vector<BenchTableKind> BuiltinBenchTableKinds() {
  // New kinds (adapter boards, Ethernet segments) join this list.
  return {
      {"ram", 10, true, LoadRam},
      {"bridge", 20, true, LoadBridges},
      {"function", 30, true, LoadFunctions},
      SegmentTableKind(),
      BoardTableKind(),
  };
}

}  // namespace sim
