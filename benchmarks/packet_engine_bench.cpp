// Frames per second and CPU time per frame through the r83drv packet engine and
// the simulated DEC 21143 in internal loopback: each frame is reserved, copied,
// sent, looped back by the chip, collected by service and returned, the way
// the card's SendPacket and ReceivePacket drive the engine.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <stdexcept>
#include <vector>

#include "hw/r83drv.h"
#include "platform/sim/sim_system.h"
#include "sim/adapter_board.h"
#include "sim/ethernet_segment.h"
#include "sim/firmware.h"
#include "sim/machine.h"

namespace {

constexpr int kDevice = 3;
constexpr uint32_t kLoopbackOpMode = 0x020C0008 | 0x00000400;  // default CSR6, internal loopback

struct Engine {
  std::unique_ptr<SimSystem> system;
  Adapter adapter;

  Engine() {
    auto machine = std::make_unique<sim::Machine>();
    auto& segment = machine->addSegment(std::make_unique<sim::EthernetSegment>("lab"));
    sim::AdapterBoardConfig config;
    config.phy = sim::BoardPhy::Lxt971;
    auto& board = static_cast<sim::AdapterBoard&>(
        machine->addFunction({0, kDevice, 0}, std::make_unique<sim::AdapterBoard>(config)));
    board.plugInto(&segment);
    sim::AssignResources(*machine);
    system = std::make_unique<SimSystem>(std::move(machine));
    system->Open();
    system->SelectDevice(0, kDevice);
    adapter.host = system.get();
    const uint32_t modes[2] = {0, kLoopbackOpMode};
    if (r83drv_init(&adapter, 16, 16, modes) != 0 || adapter.start(&adapter) != 0) {
      throw std::runtime_error("packet engine did not start");
    }
    adapter.set_filter(&adapter, 0, R83_FILTER_STATION);
  }
  ~Engine() {
    adapter.shutdown(&adapter);
    adapter.close(&adapter);
  }

  void Send(const uint8_t* frame, uint32_t length) {
    for (;;) {
      adapter.service(&adapter);
      uint32_t count = 1;
      TxDesc* td = adapter.tx_reserve(&adapter, &count);
      if (count == 1) {
        std::memcpy(td->buf, frame, length);
        td->len = length;
        adapter.tx_send(&adapter, td, 1);
        return;
      }
    }
  }

  uint32_t Receive(uint8_t* buffer) {
    adapter.service(&adapter);
    RxDesc* rd = adapter.rxready;
    if (rd == nullptr) return 0;
    adapter.rxready = rd->next;
    std::memcpy(buffer, rd->buf, rd->len);
    const uint32_t length = rd->len;
    adapter.rx_return(&adapter, rd);
    return length;
  }
};

// Arguments: frame length, frames sent before they are collected.
void BM_LoopbackFrames(benchmark::State& state) {
  const uint32_t length = static_cast<uint32_t>(state.range(0));
  const int burst = static_cast<int>(state.range(1));
  Engine engine;
  std::vector<uint8_t> frame(length);
  std::memcpy(frame.data(), engine.adapter.stationaddr, 6);
  std::memcpy(frame.data() + 6, engine.adapter.stationaddr, 6);
  frame[12] = 0x08;
  for (uint32_t i = 14; i < length; ++i) frame[i] = static_cast<uint8_t>(i);
  std::vector<uint8_t> buffer(R83_BUFFER_SIZE);

  uint64_t frames = 0;
  for (auto _ : state) {
    for (int n = 0; n < burst; ++n) engine.Send(frame.data(), length);
    int got = 0;
    while (got < burst) {
      if (engine.Receive(buffer.data()) == length) ++got;
    }
    frames += static_cast<uint64_t>(burst);
    benchmark::DoNotOptimize(buffer.data());
  }
  if (engine.adapter.rxerrors != 0 || engine.adapter.txerrors != 0 || engine.adapter.missed != 0) {
    state.SkipWithError("frames were lost or damaged");
  }
  state.SetItemsProcessed(static_cast<int64_t>(frames));
  state.SetBytesProcessed(static_cast<int64_t>(frames * length));
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
  // CPU seconds per frame (rates divide by the CPU time).
  state.counters["cpu_per_frame"] = benchmark::Counter(
      static_cast<double>(frames), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoopbackFrames)->ArgsProduct({{60, 1514}, {1, 8}})->ArgNames({"bytes", "burst"});

}  // namespace

BENCHMARK_MAIN();
