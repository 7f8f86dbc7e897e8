// A tiny device model, written the way a real one plugs into the machine: a
// PciFunction subclass with registers at 8-byte spacing behind an I/O BAR and a
// memory BAR, a DMA engine gated by bus mastering and a timer run from tick().
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "sim/firmware.h"
#include "sim/machine.h"
#include "sim/pci_function.h"

namespace {

class ExampleDevice : public sim::PciFunction {
 public:
  // Registers: 0x00 scratch, 0x08 DMA address, 0x10 copy length (write starts a
  // copy of that many bytes from the DMA address to DMA address + 0x1000),
  // 0x18 status (bit 0 copy done, bit 1 copy refused, bit 8 timer expired);
  // writing 0x18 arms the timer for that many microseconds.
  static sim::FunctionSpec Spec() {
    sim::FunctionSpec spec;
    spec.name = "example";
    spec.vendor = 0x1234;
    spec.device = 0x5678;
    spec.classCode = 0xFF0000;
    spec.bars = {{0, sim::BarType::Io, 32, false, {}}, {1, sim::BarType::Mem32, 32, false, {}}};
    return spec;
  }

  ExampleDevice() : PciFunction(Spec()) {}

  uint32_t ioRead(int, uint32_t offset, int) override { return reg(offset); }
  uint32_t memRead(int, uint32_t offset, int) override { return reg(offset); }
  void ioWrite(int, uint32_t offset, uint32_t value, int) override { write(offset, value); }
  void memWrite(int, uint32_t offset, uint32_t value, int) override { write(offset, value); }

  void tick(uint64_t nowMicros) override {
    ++ticks;
    if (timerArmed_ && nowMicros >= deadline_) {
      timerArmed_ = false;
      status_ |= 0x100;
    }
  }

  int ticks = 0;

 private:
  uint32_t reg(uint32_t offset) const {
    switch (offset) {
      case 0x00: return scratch_;
      case 0x08: return address_;
      case 0x18: return status_;
      default: return 0;
    }
  }

  void write(uint32_t offset, uint32_t value) {
    switch (offset) {
      case 0x00: scratch_ = value; break;
      case 0x08: address_ = value; break;
      case 0x10: copy(value); break;
      case 0x18:
        deadline_ = now() + value;
        timerArmed_ = true;
        status_ &= ~0x100u;
        break;
    }
  }

  void copy(uint32_t length) {
    std::vector<uint8_t> buffer(length);
    status_ &= ~3u;
    if (dmaRead(address_, buffer.data(), length) && dmaWrite(address_ + 0x1000, buffer.data(), length)) {
      status_ |= 1;
    } else {
      status_ |= 2;
    }
  }

  uint32_t scratch_ = 0, address_ = 0, status_ = 0;
  bool timerArmed_ = false;
  uint64_t deadline_ = 0;
};

class ExampleDeviceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    device = static_cast<ExampleDevice*>(
        &machine.addFunction({0, 5, 0}, std::make_unique<ExampleDevice>()));
    sim::AssignResources(machine);
    io = static_cast<uint16_t>(machine.configRead(0, 5, 0, 0x10) & ~3u);
    mem = machine.configRead(0, 5, 0, 0x14) & ~0xFu;
  }

  sim::Machine machine{sim::MachineOptions{0x00200000, sim::Clock::Mode::Manual}};
  ExampleDevice* device = nullptr;
  uint16_t io = 0;
  uint32_t mem = 0;
};

TEST_F(ExampleDeviceTest, RegistersThroughBothBars) {
  ASSERT_NE(io, 0);
  ASSERT_NE(mem, 0u);
  machine.out32(io, 0xA5A5F00D);
  EXPECT_EQ(machine.memRead(mem, 4), 0xA5A5F00Du);
  machine.memWrite(mem, 0x12345678, 4);
  EXPECT_EQ(machine.in32(io), 0x12345678u);
}

TEST_F(ExampleDeviceTest, DmaNeedsBusMastering) {
  uint8_t* host = machine.dmaVirtual();
  const char pattern[] = "descriptor ring";
  std::memcpy(host, pattern, sizeof pattern);
  machine.out32(io + 0x08, static_cast<uint32_t>(machine.dmaPhysical()));

  machine.out32(io + 0x10, sizeof pattern);
  EXPECT_EQ(machine.in32(io + 0x18) & 3, 2u);  // refused: bus master off
  EXPECT_EQ(host[0x1000], 0);

  machine.configWrite(0, 5, 0, 0x04, 0x0007);
  machine.out32(io + 0x10, sizeof pattern);
  EXPECT_EQ(machine.in32(io + 0x18) & 3, 1u);
  EXPECT_STREQ(reinterpret_cast<const char*>(host + 0x1000), pattern);
}

TEST_F(ExampleDeviceTest, TimerRunsOnTicks) {
  machine.out32(io + 0x18, 500);
  EXPECT_EQ(machine.in32(io + 0x18) & 0x100, 0u);
  machine.skip(499);
  EXPECT_EQ(machine.in32(io + 0x18) & 0x100, 0u);
  const int ticks = device->ticks;
  machine.skip(1);
  EXPECT_EQ(device->ticks, ticks + 1);  // the skip itself ticks
  EXPECT_EQ(machine.in32(io + 0x18) & 0x100, 0x100u);
}

}  // namespace
