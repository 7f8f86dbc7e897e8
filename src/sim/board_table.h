#pragma once
#include "sim/bench_registry.h"

namespace sim {

// The bench's [[board]] tables: R51 and R83 adapters (see docs/bench-files.md
// and docs/fault-catalogue.md), placed after the bridges and cabled to the
// [[segment]] tables by name.
BenchTableKind BoardTableKind();

}  // namespace sim
