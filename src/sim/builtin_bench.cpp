// The bench compiled into the program; bench/basic.toml holds the same text.
#include "sim/bench.h"

namespace sim {

namespace {

constexpr std::string_view kBuiltinBench = R"toml(# The default bench: a small PC with two R83 adapters and one R51 on one
# Ethernet segment with an echo station.
#
#   00:00.0  host bridge            8086:1237
#   00:01.0  ISA bridge             8086:7000  (function 1: IDE controller 8086:7010)
#   00:02.0  display controller     1234:1111
#   00:03.0  R83 TX adapter         1011:0019  subsystem 13d8:0430, LXT971 PHY
#   00:04.0  R51 TX adapter         1011:0019  subsystem 13d8:0100, LXT970 PHY
#   00:1e.0  PCI-to-PCI bridge      8086:244e  to bus 1
#   01:00.0  R83 FX adapter         1011:0019  subsystem 13d8:0430, LXT970 PHY
#
# The adapters are simulated boards (the 21143 with its serial EEPROM and PHY)
# cabled to the segment "lan", where an echo station answers at
# 02:00:00:00:00:ee. Base addresses come from the firmware.

[machine]
description = "Default bench: two R83 adapters (one behind a PCI-to-PCI bridge) and an R51"
dma_base = 0x00200000

[[segment]]
name = "lan"
echo_station = "02:00:00:00:00:ee"

[[function]]
name = "Host bridge"
device = 0
vendor = 0x8086
device_id = 0x1237
class = 0x060000
revision = 0x02
command = 0x0006
status = 0x0280

[[function]]
name = "ISA bridge"
device = 1
vendor = 0x8086
device_id = 0x7000
class = 0x060100
command = 0x0007
status = 0x0200

[[function]]
name = "IDE controller"
device = 1
function = 1
vendor = 0x8086
device_id = 0x7010
class = 0x010180
command = 0x0005
status = 0x0280
bars = [ { index = 4, type = "io", size = 16 } ]

[[function]]
name = "Display controller"
device = 2
vendor = 0x1234
device_id = 0x1111
class = 0x030000
revision = 0x02
subsystem_vendor = 0x1af4
subsystem_id = 0x1100
command = 0x0003
bars = [
  { index = 0, type = "mem", size = 0x1000000, prefetchable = true },
  { index = 2, type = "mem", size = 0x1000 },
]

[[bridge]]
name = "PCI-to-PCI bridge"
device = 0x1e
vendor = 0x8086
device_id = 0x244e
revision = 0x01
command = 0x0007
status = 0x0010
secondary = 1
subordinate = 1

[[board]]
name = "R83 adapter"
device = 3
model = "R83"
variant = "TX"
phy = "LXT971"
mac = "02:13:d8:00:03:00"
segment = "lan"

[[board]]
name = "R51 adapter"
device = 4
model = "R51"
variant = "TX"
phy = "LXT970"
revision = 0x41
mac = "02:13:d8:00:04:00"
segment = "lan"

[[board]]
name = "R83 adapter behind the bridge"
bus = 1
device = 0
model = "R83"
variant = "FX"
phy = "LXT970"
mac = "02:13:d8:01:00:00"
segment = "lan"
)toml";

}  // namespace

std::string_view BuiltinBenchText() { return kBuiltinBench; }

std::unique_ptr<Machine> BuiltinBench(const BenchOptions& options) {
  return LoadBenchText(kBuiltinBench, "builtin", options);
}

}  // namespace sim
