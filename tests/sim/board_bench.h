#pragma once
// A simulated PC with one adapter board at 00:03.0, driven the way the program
// drives it: configuration cycles, CSRs through the memory window or the I/O
// ports, descriptors and buffers in the DMA block, and the EEPROM and MII bit
// protocols of hw/ through a SimSystem.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "hw/adapter.h"
#include "platform/sim/sim_system.h"
#include "sim/adapter_board.h"
#include "sim/ethernet_segment.h"
#include "sim/firmware.h"
#include "sim/machine.h"

class BoardBench {
 public:
  static constexpr int kDevice = 3;

  explicit BoardBench(const sim::AdapterBoardConfig& config = {}, bool cabled = true,
                      sim::Clock::Mode clock = sim::Clock::Mode::Manual) {
    sim::MachineOptions options;
    options.clock = clock;
    auto machine = std::make_unique<sim::Machine>(options);
    machine_ = machine.get();
    segment_ = &machine->addSegment(std::make_unique<sim::EthernetSegment>("lab"));
    board_ = static_cast<sim::AdapterBoard*>(
        &machine->addFunction({0, kDevice, 0}, std::make_unique<sim::AdapterBoard>(config)));
    if (cabled) board_->plugInto(segment_);
    sim::AssignResources(*machine);
    system_ = std::make_unique<SimSystem>(std::move(machine));
    system_->Open();
    system_->SelectDevice(0, kDevice);
    adapter_.host = system_.get();
  }

  sim::Machine& machine() { return *machine_; }
  sim::AdapterBoard& board() { return *board_; }
  sim::EthernetSegment& segment() { return *segment_; }
  SimSystem& system() { return *system_; }
  Adapter* adapter() { return &adapter_; }

  // ---- Configuration space ----
  uint32_t cfg(uint8_t offset) { return machine_->configRead(0, kDevice, 0, offset); }
  void setCfg(uint8_t offset, uint32_t value) { machine_->configWrite(0, kDevice, 0, offset, value); }

  // ---- Register space: memory window and I/O ports, byte offsets ----
  uint32_t memBase() const { return board_->barBase(1); }
  uint16_t ioBase() const { return static_cast<uint16_t>(board_->barBase(0)); }
  uint32_t mem(uint32_t offset) { return machine_->memRead(memBase() + offset, 4); }
  void setMem(uint32_t offset, uint32_t value) { machine_->memWrite(memBase() + offset, value, 4); }
  uint32_t io(uint32_t offset) { return machine_->in32(static_cast<uint16_t>(ioBase() + offset)); }
  void setIo(uint32_t offset, uint32_t value) { machine_->out32(static_cast<uint16_t>(ioBase() + offset), value); }
  uint32_t csr(int n) { return mem(8u * n); }
  void setCsr(int n, uint32_t value) { setMem(8u * n, value); }

  // ---- DMA block ----
  uint8_t* dma(uint32_t offset) { return machine_->dmaVirtual() + offset; }
  uint32_t phys(uint32_t offset) const { return static_cast<uint32_t>(machine_->dmaPhysical()) + offset; }
  uint32_t word(uint32_t offset) {
    uint32_t v;
    std::memcpy(&v, dma(offset), 4);
    return v;
  }
  void setWord(uint32_t offset, uint32_t value) { std::memcpy(dma(offset), &value, 4); }
  // A descriptor of four words at a DMA-block offset.
  void descriptor(uint32_t offset, uint32_t d0, uint32_t d1, uint32_t d2 = 0, uint32_t d3 = 0) {
    setWord(offset, d0);
    setWord(offset + 4, d1);
    setWord(offset + 8, d2);
    setWord(offset + 12, d3);
  }

  void skip(uint64_t micros) { machine_->skip(micros); }

 private:
  sim::Machine* machine_ = nullptr;
  sim::EthernetSegment* segment_ = nullptr;
  sim::AdapterBoard* board_ = nullptr;
  std::unique_ptr<SimSystem> system_;
  Adapter adapter_;
};

inline sim::AdapterBoardConfig BoardConfig(sim::BoardModel model, sim::BoardVariant variant = sim::BoardVariant::Tx) {
  sim::AdapterBoardConfig c;
  c.model = model;
  c.variant = variant;
  c.phy = sim::AdapterBoard::DefaultPhy(model, variant);
  c.mac = {0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
  return c;
}
