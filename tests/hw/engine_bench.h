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
#include "sim/board_bench.h"

// CSR6 with the chip's internal loopback (operating mode 01) on top of the default.
constexpr uint32_t kLoopbackOpMode = 0x020C0008 | 0x00000400;

class EngineBench : public BoardBench {
 public:
  explicit EngineBench(const sim::AdapterBoardConfig& config = {}, bool cabled = true,
                       sim::Clock::Mode clock = sim::Clock::Mode::Manual)
      : BoardBench(config, cabled, clock) {}
  // The rings are heap records; the card's ClosePacketEngine would free them.
  ~EngineBench() { r83drv_close(a()); }

  Adapter* a() { return adapter(); }

  // The card's OpenPacketEngine steps up to the filter (media is the test's business).
  int32_t Init(uint32_t opmode = 0, uint32_t rx = 16, uint32_t tx = 16) {
    a()->dmaused = 0;
    a()->rxready = nullptr;
    const uint32_t config[2] = {0, opmode};
    return r83drv_init(a(), rx, tx, config);
  }
  int32_t Open(uint32_t opmode = 0) {
    if (Init(opmode) != 0) return -1;
    if (a()->start(a()) != 0) return -1;
    a()->set_filter(a(), 0, R83_FILTER_STATION);
    return 0;
  }
  void Close() {
    a()->shutdown(a());
    a()->close(a());
  }

  // SendPacket without its endless wait: false when no record is free.
  bool Send(const uint8_t* frame, uint32_t length) {
    a()->service(a());
    uint32_t count = 1;
    TxDesc* td = a()->tx_reserve(a(), &count);
    if (count == 0) return false;
    std::memcpy(td->buf, frame, length);
    td->len = length;
    a()->tx_send(a(), td, 1);
    return true;
  }
  bool Send(const std::vector<uint8_t>& frame) { return Send(frame.data(), static_cast<uint32_t>(frame.size())); }

  // ReceivePacket.
  bool Receive(std::vector<uint8_t>* frame) {
    a()->service(a());
    RxDesc* rd = a()->rxready;
    if (rd == nullptr) return false;
    a()->rxready = rd->next;
    frame->assign(rd->buf, rd->buf + rd->len);
    a()->rx_return(a(), rd);
    return true;
  }

  // A frame to dest from the station, numbered through its payload.
  std::vector<uint8_t> Frame(const uint8_t* dest, uint32_t length, uint32_t seed = 0) {
    // Never shorter than the header (this also keeps g++ -O3 sure of the bounds).
    std::vector<uint8_t> f(std::max<uint32_t>(length, 14));
    std::memcpy(f.data(), dest, 6);
    std::memcpy(f.data() + 6, a()->stationaddr, 6);
    f[12] = 0x08;
    f[13] = 0x00;
    for (uint32_t i = 14; i < f.size(); ++i) f[i] = static_cast<uint8_t>(i * 7 + seed);
    return f;
  }
  std::vector<uint8_t> ToSelf(uint32_t length, uint32_t seed = 0) {
    return Frame(a()->stationaddr, length, seed);
  }

  // ---- Chip side, bypassing the engine ----
  uint64_t now() { return machine().clock().monotonicMicros(); }

};

inline sim::AdapterBoardConfig Board(sim::BoardPhy phy, sim::BoardVariant variant = sim::BoardVariant::Tx) {
  sim::AdapterBoardConfig c;
  c.model = sim::BoardModel::R83;
  c.variant = variant;
  c.phy = phy;
  c.mac = {0x00, 0x40, 0x05, 0x12, 0x34, 0x56};
  return c;
}
