#pragma once
#include "sim/bench_registry.h"

namespace sim {

// The bench's [[segment]] tables: named Ethernet segments on the machine, each
// optionally cut, paced, joined over UDP to another process or a QEMU machine,
// and carrying a simulated echo station. Runs before the tables that cable
// boards to segments by name.
BenchTableKind SegmentTableKind();

}  // namespace sim
