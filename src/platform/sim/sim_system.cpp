#include "platform/sim/sim_system.h"

#include <utility>

SimSystem::SimSystem(std::unique_ptr<sim::Machine> machine) : machine_(std::move(machine)) {}

SimSystem::~SimSystem() = default;

const char* SimSystem::Open() {
  dmaVirtual = machine_->dmaVirtual();
  dmaPhysical = static_cast<uint32_t>(machine_->dmaPhysical());  // the block lies below 4 GiB
  dmaSize = machine_->dmaSize();
  return ScanBuses();
}

void SimSystem::SelectDevice(int bus, int device) {
  PCI_System::SelectDevice(bus, device);
  // The register window follows the memory base; a function without one has no window.
  windowMapped_ = memBase != 0;
  windowPhysical_ = windowMapped_ ? (memBase & 0xFFFFFFF0u) : 0;
}

bool SimSystem::MapWindow(uint32_t offset, uint32_t length) {
  UnmapWindow();
  auxMapped_ = true;
  auxPhysical_ = windowBase + offset;
  auxLength_ = length;
  return true;
}

void SimSystem::UnmapWindow() {
  auxMapped_ = false;
  auxPhysical_ = 0;
  auxLength_ = 0;
}

void SimSystem::WritePort32(uint16_t port, uint32_t value) { machine_->out32(port, value); }

uint32_t SimSystem::ReadPort32(uint16_t port) { return machine_->in32(port); }

void SimSystem::WriteMem32(uint32_t offset, uint32_t value) {
  if (windowMapped_) machine_->memWrite(uint64_t{windowPhysical_} + (offset & 0xFFF), value, 4);
}

uint32_t SimSystem::ReadMem32(uint32_t offset) {
  return windowMapped_ ? machine_->memRead(uint64_t{windowPhysical_} + (offset & 0xFFF), 4) : 0;
}

void SimSystem::WriteMem16(uint32_t index, uint16_t value) {
  if (windowMapped_) machine_->memWrite(uint64_t{windowPhysical_} + 2 * (index & 0xFFF), value, 2);
}

uint16_t SimSystem::ReadMem16(uint32_t index) {
  if (!windowMapped_) return 0;
  return static_cast<uint16_t>(machine_->memRead(uint64_t{windowPhysical_} + 2 * (index & 0xFFF), 2));
}

void SimSystem::WriteMem8(uint32_t offset, uint8_t value) {
  if (windowMapped_) machine_->memWrite(uint64_t{windowPhysical_} + (offset & 0xFFF), value, 1);
}

uint8_t SimSystem::ReadMem8(uint32_t offset) {
  if (!windowMapped_) return 0;
  return static_cast<uint8_t>(machine_->memRead(uint64_t{windowPhysical_} + (offset & 0xFFF), 1));
}

void SimSystem::StartTimeout(int seconds) { deadline = WallClockSeconds() + seconds + 1; }

bool SimSystem::TimedOut() { return WallClockSeconds() >= deadline; }

void SimSystem::DelayMicroseconds(uint32_t microseconds) {
  // Below 1000 us a busy-wait of exactly that long, else a sleep of whole
  // milliseconds rounded up; on the simulated clock both are skips.
  if (microseconds < 1000) {
    machine_->skip(microseconds);
  } else {
    machine_->skip((uint64_t{microseconds} + 999) / 1000 * 1000);
  }
}

void SimSystem::SleepMilliseconds(uint32_t milliseconds) { machine_->skip(uint64_t{milliseconds} * 1000); }

int64_t SimSystem::WallClockSeconds() { return machine_->clock().wallSeconds(); }

uint64_t SimSystem::MonotonicMicroseconds() { return machine_->clock().monotonicMicros(); }
