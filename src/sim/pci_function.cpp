#include "sim/pci_function.h"

#include <cstdio>

#include "sim/machine.h"
#include "sim/machine_error.h"

namespace sim {

namespace {

// Command bits a plain function implements: I/O, memory, bus master, memory
// write and invalidate, parity error response, SERR#.
constexpr uint32_t kCommandWritable = 0x00000157;
// Status bits cleared by writing one: parity, SERR#, aborts.
constexpr uint32_t kStatusW1c = 0xF9000000;

uint32_t BarTypeBits(const BarSpec& bar) {
  if (bar.type == BarType::Io) return 0x1;
  return bar.prefetchable ? 0x8 : 0x0;
}

}  // namespace

PciFunction::PciFunction(const FunctionSpec& spec) : barCount_(BarCount(spec.headerType)) {
  if (spec.name.empty()) {
    char text[16];
    std::snprintf(text, sizeof text, "%04x:%04x", spec.vendor, spec.device);
    name_ = text;
  } else {
    name_ = spec.name;
  }

  uint16_t command = 0;
  for (const BarSpec& bar : spec.bars) {
    if (std::string error = BarSpecError(bar, barCount_); !error.empty()) throw MachineError(error);
    if (bars_[bar.index].type != BarType::None) {
      throw MachineError("BAR " + std::to_string(bar.index) + " defined twice");
    }
    bars_[bar.index] = bar;
    command |= bar.type == BarType::Io ? kCommandIo : kCommandMemory;
  }
  if (spec.command) command = *spec.command;

  config_.define(0x00, spec.vendor | uint32_t{spec.device} << 16);
  config_.define(0x04, command | uint32_t{spec.status} << 16, kCommandWritable, kStatusW1c);
  config_.define(0x08, spec.revision | (spec.classCode & 0xFFFFFF) << 8);
  config_.define(0x0C, uint32_t{spec.headerType} << 16, 0x0000FFFF);
  for (int i = 0; i < barCount_; ++i) defineBar(i);
  if ((spec.headerType & 0x7F) == 0) {
    config_.define(0x2C, spec.subsystemVendor | uint32_t{spec.subsystemId} << 16);
  }
  config_.define(0x3C, 0, 0x000000FF);  // interrupt line is scratch for software
  applyConfig(spec.config);
}

void PciFunction::applyConfig(const std::vector<ConfigDword>& dwords) {
  for (const ConfigDword& d : dwords) {
    config_.define(static_cast<uint8_t>(d.offset & 0xFC), d.value, d.writable, d.w1c);
  }
}

void PciFunction::defineBar(int index) {
  const BarSpec& bar = bars_[index];
  const uint8_t offset = static_cast<uint8_t>(0x10 + 4 * index);
  if (bar.type == BarType::None) {
    config_.define(offset, 0);
    return;
  }
  const uint32_t typeMask = bar.type == BarType::Io ? 0x3 : 0xF;
  const uint32_t writable = ~(bar.size - 1) & ~typeMask;
  config_.define(offset, (bar.base.value_or(0) & writable) | BarTypeBits(bar), writable);
}

uint32_t PciFunction::barBase(int index) const {
  const BarSpec& bar = bars_[index];
  if (bar.type == BarType::None) return 0;
  const uint32_t reg = config_.read(static_cast<uint8_t>(0x10 + 4 * index));
  return reg & (bar.type == BarType::Io ? ~0x3u : ~0xFu);
}

void PciFunction::setBarBase(int index, uint32_t base) {
  const uint8_t offset = static_cast<uint8_t>(0x10 + 4 * index);
  config_.set(offset, (base & config_.writable(offset)) | BarTypeBits(bars_[index]));
}

int PciFunction::decodeIo(uint32_t port) const {
  if (!ioEnabled()) return -1;
  for (int i = 0; i < barCount_; ++i) {
    if (bars_[i].type != BarType::Io) continue;
    const uint32_t base = barBase(i);
    if (base != 0 && port >= base && port - base < bars_[i].size) return i;
  }
  return -1;
}

int PciFunction::decodeMem(uint64_t address) const {
  if (!memEnabled()) return -1;
  for (int i = 0; i < barCount_; ++i) {
    if (bars_[i].type != BarType::Mem32) continue;
    const uint64_t base = barBase(i);
    if (base != 0 && address >= base && address - base < bars_[i].size) return i;
  }
  return -1;
}

uint32_t PciFunction::configRead(uint8_t offset) { return config_.read(offset); }

void PciFunction::configWrite(uint8_t offset, uint32_t value, uint32_t byteEnables) {
  config_.write(offset, value, byteEnables);
}

uint32_t PciFunction::ioRead(int, uint32_t, int) { return 0xFFFFFFFF; }
void PciFunction::ioWrite(int, uint32_t, uint32_t, int) {}
uint32_t PciFunction::memRead(int, uint32_t, int) { return 0xFFFFFFFF; }
void PciFunction::memWrite(int, uint32_t, uint32_t, int) {}
void PciFunction::tick(uint64_t) {}

bool PciFunction::dmaRead(uint64_t address, void* data, size_t length) {
  if (!busMaster() || machine_ == nullptr) return false;
  machine_->dmaRead(address, data, length);
  return true;
}

bool PciFunction::dmaWrite(uint64_t address, const void* data, size_t length) {
  if (!busMaster() || machine_ == nullptr) return false;
  machine_->dmaWrite(address, data, length);
  return true;
}

uint64_t PciFunction::now() const { return machine_ ? machine_->clock().monotonicMicros() : 0; }

}  // namespace sim
