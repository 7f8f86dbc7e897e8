#pragma once
#include <algorithm>
// A simulated PC with one adapter board at 00:03.0 and the packet engine on it,
// opened the way the card opens it, with the card's send and receive steps.
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "hw/r83drv.h"
#include "platform/sim/sim_system.h"
#include "sim/adapter_board.h"
#include "sim/ethernet_segment.h"
#include "sim/firmware.h"
#include "sim/machine.h"

// CSR6 with the chip's internal loopback (operating mode 01) on top of the default.
constexpr uint32_t kLoopbackOpMode = 0x020C0008 | 0x00000400;

class EngineBench {
 public:
  static constexpr int kDevice = 3;

  explicit EngineBench(const sim::AdapterBoardConfig& config = {}, bool cabled = true,
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
  // The rings are heap records; the card's ClosePacketEngine would free them.
  ~EngineBench() { r83drv_close(&adapter_); }

  sim::Machine& machine() { return *machine_; }
  sim::AdapterBoard& board() { return *board_; }
  SimSystem& system() { return *system_; }
  Adapter* a() { return &adapter_; }

  // The card's OpenPacketEngine steps up to the filter (media is the test's business).
  int32_t Init(uint32_t opmode = 0, uint32_t rx = 16, uint32_t tx = 16) {
    adapter_.dmaused = 0;
    adapter_.rxready = nullptr;
    const uint32_t config[2] = {0, opmode};
    return r83drv_init(&adapter_, rx, tx, config);
  }
  int32_t Open(uint32_t opmode = 0) {
    if (Init(opmode) != 0) return -1;
    if (adapter_.start(&adapter_) != 0) return -1;
    adapter_.set_filter(&adapter_, 0, R83_FILTER_STATION);
    return 0;
  }
  void Close() {
    adapter_.shutdown(&adapter_);
    adapter_.close(&adapter_);
  }

  // SendPacket without its endless wait: false when no record is free.
  bool Send(const uint8_t* frame, uint32_t length) {
    adapter_.service(&adapter_);
    uint32_t count = 1;
    TxDesc* td = adapter_.tx_reserve(&adapter_, &count);
    if (count == 0) return false;
    std::memcpy(td->buf, frame, length);
    td->len = length;
    adapter_.tx_send(&adapter_, td, 1);
    return true;
  }
  bool Send(const std::vector<uint8_t>& frame) { return Send(frame.data(), static_cast<uint32_t>(frame.size())); }

  // ReceivePacket.
  bool Receive(std::vector<uint8_t>* frame) {
    adapter_.service(&adapter_);
    RxDesc* rd = adapter_.rxready;
    if (rd == nullptr) return false;
    adapter_.rxready = rd->next;
    frame->assign(rd->buf, rd->buf + rd->len);
    adapter_.rx_return(&adapter_, rd);
    return true;
  }

  // A frame to dest from the station, numbered through its payload.
  std::vector<uint8_t> Frame(const uint8_t* dest, uint32_t length, uint32_t seed = 0) const {
    // Never shorter than the header (this also keeps g++ -O3 sure of the bounds).
    std::vector<uint8_t> f(std::max<uint32_t>(length, 14));
    std::memcpy(f.data(), dest, 6);
    std::memcpy(f.data() + 6, adapter_.stationaddr, 6);
    f[12] = 0x08;
    f[13] = 0x00;
    for (uint32_t i = 14; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 7 + seed);
    return f;
  }
  std::vector<uint8_t> ToSelf(uint32_t length, uint32_t seed = 0) const {
    return Frame(adapter_.stationaddr, length, seed);
  }

  // ---- Chip side, bypassing the engine ----
  uint32_t cfg(uint8_t offset) { return machine_->configRead(0, kDevice, 0, offset); }
  void setCfg(uint8_t offset, uint32_t value) { machine_->configWrite(0, kDevice, 0, offset, value); }
  uint32_t csr(int n) { return machine_->memRead(board_->barBase(1) + 8u * n, 4); }
  void setCsr(int n, uint32_t value) { machine_->memWrite(board_->barBase(1) + 8u * n, value, 4); }
  uint64_t now() const { return machine_->clock().monotonicMicros(); }

 private:
  sim::Machine* machine_ = nullptr;
  sim::EthernetSegment* segment_ = nullptr;
  sim::AdapterBoard* board_ = nullptr;
  std::unique_ptr<SimSystem> system_;
  Adapter adapter_;
};

inline sim::AdapterBoardConfig Board(sim::BoardPhy phy, sim::BoardVariant variant = sim::BoardVariant::Tx) {
  sim::AdapterBoardConfig c;
  c.model = sim::BoardModel::R83;
  c.variant = variant;
  c.phy = phy;
  c.mac = {0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
  return c;
}
