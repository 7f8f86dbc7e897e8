#include "sim/machine.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "sim/ethernet_segment.h"
#include "sim/machine_error.h"
#include "sim/pci_bridge.h"
#include "sim/pci_function.h"

namespace sim {

static_assert(std::endian::native == std::endian::little,
              "bus values are assembled in host byte order");

namespace {

uint32_t WidthMask(int width) {
  switch (width) {
    case 1: return 0xFF;
    case 2: return 0xFFFF;
    case 4: return 0xFFFFFFFF;
    default: throw std::invalid_argument("access width must be 1, 2 or 4 bytes");
  }
}

std::string BusRange(int secondary, int subordinate) {
  char text[16];
  std::snprintf(text, sizeof text, "%02x-%02x", secondary, subordinate);
  return text;
}

std::string Hex2(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%02x", n);
  return text;
}

}  // namespace

Machine::Machine(const MachineOptions& options)
    : clock_(options.clock), dmaBase_(options.dmaBase), hostBridge_(*this) {
  if (dmaBase_ % 0x1000 != 0) throw MachineError("DMA block address is not page aligned");
  if (dmaBase_ + kDmaSize > 0x100000000ull) throw MachineError("DMA block must lie below 4 GiB");
  dma_ = memory_.addRam(dmaBase_, kDmaSize);
}

Machine::~Machine() = default;

// ---- Building ----

EthernetSegment& Machine::addSegment(std::unique_ptr<EthernetSegment> segment) {
  if (this->segment(segment->name()) != nullptr) {
    throw MachineError("segment \"" + segment->name() + "\" exists already");
  }
  segments_.push_back(std::move(segment));
  return *segments_.back();
}

EthernetSegment* Machine::segment(std::string_view name) const {
  for (const auto& s : segments_) {
    if (s->name() == name) return s.get();
  }
  return nullptr;
}

PciFunction& Machine::addFunction(Bdf at, const FunctionSpec& spec) {
  return addFunction(at, std::make_unique<PciFunction>(spec));
}

PciBridge& Machine::addBridge(Bdf at, const FunctionSpec& spec, uint8_t secondary,
                              uint8_t subordinate) {
  auto bridge = std::make_unique<PciBridge>(spec, static_cast<uint8_t>(at.bus), secondary,
                                            subordinate);
  return static_cast<PciBridge&>(addFunction(at, std::move(bridge)));
}

void Machine::checkBridge(Bdf at, PciBus& segment, const PciBridge& bridge) const {
  const int secondary = bridge.secondaryBus();
  const int subordinate = bridge.subordinateBus();
  const std::string name = "bridge " + at.str();
  if (secondary <= at.bus) {
    throw MachineError(name + " forwards to bus " + Hex2(secondary) +
                       ", which is not above its own bus " + Hex2(at.bus) + " (a bridge loop)");
  }
  if (subordinate < secondary) {
    throw MachineError(name + " has subordinate bus " + Hex2(subordinate) +
                       " below its secondary bus " + Hex2(secondary));
  }
  for (const PciBridge* sibling : segment.bridges()) {
    if (secondary <= sibling->subordinateBus() && sibling->secondaryBus() <= subordinate) {
      throw MachineError(name + " range " + BusRange(secondary, subordinate) +
                         " overlaps bridge " + sibling->placedAt().str() + " (" +
                         BusRange(sibling->secondaryBus(), sibling->subordinateBus()) + ")");
    }
  }
  for (PciFunction* fn : functions_) {
    auto* parent = dynamic_cast<PciBridge*>(fn);
    if (parent != nullptr && &parent->downstream() == &segment &&
        subordinate > parent->subordinateBus()) {
      throw MachineError(name + " range " + BusRange(secondary, subordinate) +
                         " reaches beyond its parent bridge " + parent->placedAt().str() + " (" +
                         BusRange(parent->secondaryBus(), parent->subordinateBus()) + ")");
    }
  }
}

PciFunction& Machine::addFunction(Bdf at, std::unique_ptr<PciFunction> function) {
  if (at.bus < 0 || at.bus > 255 || at.device < 0 || at.device > 31 || at.function < 0 ||
      at.function > 7) {
    throw MachineError("no such bus:device.function " + std::to_string(at.bus) + ":" +
                       std::to_string(at.device) + "." + std::to_string(at.function));
  }
  PciBus* segment = root_.route(at.bus, 0);
  if (segment == nullptr) throw MachineError("bus " + Hex2(at.bus) + " is not reached by any bridge");
  if (segment->slot(at.device, at.function) != nullptr) {
    throw MachineError("duplicate function " + at.str());
  }
  if (auto* bridge = dynamic_cast<PciBridge*>(function.get())) checkBridge(at, *segment, *bridge);

  PciFunction* fn = function.get();
  fn->attach(this, at);
  segment->attach(at.device, at.function, fn);
  owned_.push_back(std::move(function));
  functions_.push_back(fn);
  markMultiFunction(*segment, at.device);
  fn->attached();
  return *fn;
}

void Machine::markMultiFunction(PciBus& segment, int device) {
  PciFunction* first = segment.slot(device, 0);
  if (first == nullptr) return;
  for (int f = 1; f < 8; ++f) {
    if (segment.slot(device, f) != nullptr) {
      first->config().setBits(0x0C, 0x00800000);  // header type bit 7
      return;
    }
  }
}

// ---- Configuration cycles ----

PciFunction* Machine::functionAt(int bus, int device, int function) {
  if (bus < 0 || bus > 255 || device < 0 || device > 31 || function < 0 || function > 7) {
    return nullptr;
  }
  PciBus* segment = root_.route(bus, 0);
  return segment ? segment->slot(device, function) : nullptr;
}

uint32_t Machine::configRead(int bus, int device, int function, uint8_t offset) {
  PciFunction* fn = functionAt(bus, device, function);
  return fn ? fn->configRead(offset & 0xFC) : 0xFFFFFFFF;
}

void Machine::configWrite(int bus, int device, int function, uint8_t offset, uint32_t value,
                          uint32_t byteEnables) {
  if (PciFunction* fn = functionAt(bus, device, function)) {
    fn->configWrite(offset & 0xFC, value, byteEnables);
  }
}

// ---- Decoding ----

PciFunction* Machine::decodeIo(uint32_t port, int* bar) {
  for (PciFunction* fn : functions_) {
    if ((*bar = fn->decodeIo(port)) >= 0) return fn;
  }
  return nullptr;
}

PciFunction* Machine::decodeMem(uint64_t address, int* bar) {
  for (PciFunction* fn : functions_) {
    if ((*bar = fn->decodeMem(address)) >= 0) return fn;
  }
  return nullptr;
}

uint32_t Machine::ioRead(uint16_t port, int width) {
  const uint32_t mask = WidthMask(width);
  poll();
  uint32_t value = 0;
  if (hostBridge_.read(port, width, &value)) return value;
  int bar = -1;
  if (PciFunction* fn = decodeIo(port, &bar)) {
    return fn->ioRead(bar, port - fn->barBase(bar), width) & mask;
  }
  return mask;
}

void Machine::ioWrite(uint16_t port, uint32_t value, int width) {
  const uint32_t mask = WidthMask(width);
  poll();
  if (hostBridge_.write(port, value & mask, width)) return;
  int bar = -1;
  if (PciFunction* fn = decodeIo(port, &bar)) {
    fn->ioWrite(bar, port - fn->barBase(bar), value & mask, width);
  }
}

uint32_t Machine::memRead(uint64_t address, int width) {
  WidthMask(width);
  poll();
  return busMemRead(address, width);
}

void Machine::memWrite(uint64_t address, uint32_t value, int width) {
  WidthMask(width);
  poll();
  busMemWrite(address, value, width);
}

uint32_t Machine::busMemRead(uint64_t address, int width) {
  const uint32_t mask = WidthMask(width);
  uint64_t left = 0;
  if (uint8_t* p = memory_.at(address, &left)) {
    if (left >= static_cast<uint64_t>(width)) {
      uint32_t value = 0;
      std::memcpy(&value, p, width);
      return value;
    }
  } else {
    int bar = -1;
    if (PciFunction* fn = decodeMem(address, &bar)) {
      return fn->memRead(bar, static_cast<uint32_t>(address - fn->barBase(bar)), width) & mask;
    }
    if (width == 1) return mask;
  }
  // The access straddles the end of a region: byte by byte.
  uint32_t value = 0;
  for (int i = 0; i < width; ++i) value |= busMemRead(address + i, 1) << (8 * i);
  return value;
}

void Machine::busMemWrite(uint64_t address, uint32_t value, int width) {
  const uint32_t mask = WidthMask(width);
  uint64_t left = 0;
  if (uint8_t* p = memory_.at(address, &left)) {
    if (left >= static_cast<uint64_t>(width)) {
      std::memcpy(p, &value, width);
      return;
    }
  } else {
    int bar = -1;
    if (PciFunction* fn = decodeMem(address, &bar)) {
      fn->memWrite(bar, static_cast<uint32_t>(address - fn->barBase(bar)), value & mask, width);
      return;
    }
    if (width == 1) return;
  }
  for (int i = 0; i < width; ++i) busMemWrite(address + i, (value >> (8 * i)) & 0xFF, 1);
}

void Machine::dmaRead(uint64_t address, void* data, size_t length) {
  auto* out = static_cast<uint8_t*>(data);
  while (length > 0) {
    uint64_t left = 0;
    size_t n = 1;
    if (const uint8_t* p = memory_.at(address, &left)) {
      n = static_cast<size_t>(std::min<uint64_t>(left, length));
      std::memcpy(out, p, n);
    } else {
      *out = static_cast<uint8_t>(busMemRead(address, 1));
    }
    out += n, address += n, length -= n;
  }
}

void Machine::dmaWrite(uint64_t address, const void* data, size_t length) {
  auto* in = static_cast<const uint8_t*>(data);
  while (length > 0) {
    uint64_t left = 0;
    size_t n = 1;
    if (uint8_t* p = memory_.at(address, &left)) {
      n = static_cast<size_t>(std::min<uint64_t>(left, length));
      std::memcpy(p, in, n);
    } else {
      busMemWrite(address, *in, 1);
    }
    in += n, address += n, length -= n;
  }
}

// ---- Time ----

void Machine::skip(uint64_t micros) {
  clock_.skip(micros);
  poll();
}

void Machine::poll() {
  if (polling_) return;  // a device's tick touching the bus does not tick again
  polling_ = true;
  struct Reset {
    bool& flag;
    ~Reset() { flag = false; }
  } reset{polling_};
  const uint64_t now = clock_.monotonicMicros();
  for (PciFunction* fn : functions_) fn->tick(now);
}

}  // namespace sim
