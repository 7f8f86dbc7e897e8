#include "sim/pci_bridge.h"

namespace sim {

FunctionSpec PciBridge::AsBridge(const FunctionSpec& given) {
  FunctionSpec spec = given;
  spec.headerType = static_cast<uint8_t>((spec.headerType & 0x80) | 0x01);
  if (spec.classCode == 0) spec.classCode = 0x060400;
  return spec;
}

PciBridge::PciBridge(const FunctionSpec& spec, uint8_t primary, uint8_t secondary, uint8_t subordinate)
    : PciFunction(AsBridge(spec)) {
  ConfigSpace& cs = config();
  // Bus numbers and secondary latency timer.
  cs.define(0x18, primary | uint32_t{secondary} << 8 | uint32_t{subordinate} << 16, 0xFFFFFFFF);
  // I/O base/limit (upper nibbles) and secondary status.
  cs.define(0x1C, 0, 0x0000F0F0, 0xF9000000);
  // Memory and prefetchable base/limit: kept for software, not decoded.
  cs.define(0x20, 0, 0xFFF0FFF0);
  cs.define(0x24, 0, 0xFFF0FFF0);
  // Interrupt line and bridge control.
  cs.define(0x3C, 0, 0x00FF00FF);
  applyConfig(spec.config);
}

}  // namespace sim
