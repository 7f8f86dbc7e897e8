#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "platform/sim/sim_system.h"
#include "sim/bench.h"
#include "sim/firmware.h"
#include "sim/pci_function.h"

namespace {

// A function whose memory BAR is a 4 KiB register file.
class RegisterFile : public sim::PciFunction {
 public:
  static sim::FunctionSpec Spec() {
    sim::FunctionSpec spec;
    spec.vendor = 0x1011;
    spec.device = 0x0019;
    spec.classCode = 0x020000;
    spec.subsystemVendor = 0x13D8;
    spec.subsystemId = 0x0430;
    spec.bars = {{0, sim::BarType::Io, 128, false, 0xC000}, {1, sim::BarType::Mem32, 0x1000, false, 0xF1000000}};
    spec.command = 0x0007;
    return spec;
  }
  RegisterFile() : PciFunction(Spec()) {}
  uint32_t memRead(int, uint32_t offset, int width) override {
    uint32_t v = 0;
    std::memcpy(&v, bytes + offset, width);
    return v;
  }
  void memWrite(int, uint32_t offset, uint32_t value, int width) override {
    std::memcpy(bytes + offset, &value, width);
  }
  uint8_t bytes[0x1000 + 4] = {};
};

class SimSystemTest : public ::testing::Test {
 protected:
  SimSystemTest() {
    auto machine = std::make_unique<sim::Machine>(sim::MachineOptions{0x00300000, sim::Clock::Mode::Manual});
    regs = static_cast<RegisterFile*>(&machine->addFunction({0, 3, 0}, std::make_unique<RegisterFile>()));
    sim::FunctionSpec ioOnly;
    ioOnly.vendor = 0x8086;
    ioOnly.device = 0x7010;
    ioOnly.bars = {{0, sim::BarType::Io, 16, false, 0xD000}};
    machine->addFunction({0, 4, 0}, ioOnly);
    system = std::make_unique<SimSystem>(std::move(machine));
  }

  uint64_t Now() { return system->machine().clock().monotonicMicros(); }

  RegisterFile* regs = nullptr;
  std::unique_ptr<SimSystem> system;
};

TEST_F(SimSystemTest, OpenFillsTheDmaBlockAndScans) {
  EXPECT_EQ(system->Open(), nullptr);
  EXPECT_EQ(system->dmaPhysical, 0x00300000u);
  EXPECT_EQ(system->dmaSize, 0x10000u);
  ASSERT_EQ(system->dmaVirtual, system->machine().dmaVirtual());
  system->dmaVirtual[0x10] = 0xAB;
  EXPECT_EQ(system->machine().memRead(0x00300010, 1), 0xABu);
  EXPECT_EQ(system->DeviceCount(), 2);
  ASSERT_NE(system->busList, nullptr);
  ASSERT_NE(system->busList->devices, nullptr);
  EXPECT_EQ(system->busList->devices->subsystemId, 0x0430u);
}

TEST_F(SimSystemTest, NoWindowBeforeSelection) {
  EXPECT_EQ(system->ReadMem32(0x08), 0u);
  EXPECT_EQ(system->ReadMem16(0x04), 0u);
  EXPECT_EQ(system->ReadMem8(0x08), 0u);
  system->WriteMem32(0x08, 0x12345678);
  EXPECT_EQ(regs->bytes[0x08], 0);
  EXPECT_FALSE(system->windowMapped());
  EXPECT_EQ(system->regWindow, nullptr);
}

TEST_F(SimSystemTest, WindowFollowsTheMemoryBase) {
  ASSERT_EQ(system->Open(), nullptr);
  system->SelectDevice(0, 3);
  EXPECT_EQ(system->ioBase, 0xC000u);
  EXPECT_EQ(system->memBase, 0xF1000000u);
  ASSERT_TRUE(system->windowMapped());
  EXPECT_EQ(system->windowPhysical(), 0xF1000000u);
  EXPECT_EQ(system->regWindow, nullptr);

  system->WriteMem32(0x008, 0xCAFEF00D);
  EXPECT_EQ(system->ReadMem32(0x008), 0xCAFEF00Du);
  EXPECT_EQ(system->ReadMem32(0x1008), 0xCAFEF00Du);  // offsets wrap at 4 KiB
  EXPECT_EQ(system->ReadMem16(0x1005), 0xCAFEu);     // 16-bit units
  EXPECT_EQ(system->ReadMem8(0x100B), 0xCAu);
  system->WriteMem16(0x10, 0xBEEF);
  system->WriteMem8(0x22, 0x5A);
  EXPECT_EQ(regs->bytes[0x20], 0xEF);
  EXPECT_EQ(regs->bytes[0x21], 0xBE);
  EXPECT_EQ(regs->bytes[0x22], 0x5A);

  // Selecting a device without a memory BAR drops the window.
  system->SelectDevice(0, 4);
  EXPECT_EQ(system->ioBase, 0xD000u);
  EXPECT_EQ(system->memBase, 0u);
  EXPECT_FALSE(system->windowMapped());
  EXPECT_EQ(system->ReadMem32(0x008), 0u);
}

TEST_F(SimSystemTest, DecodingFollowsTheCommandRegister) {
  ASSERT_EQ(system->Open(), nullptr);
  system->SelectDevice(0, 3);
  system->WriteMem32(0x00, 0x11111111);
  system->WriteDeviceConfig32(0x04, 0x0000);
  EXPECT_EQ(system->ReadMem32(0x00), 0xFFFFFFFFu);
  system->WriteMem32(0x00, 0x22222222);  // vanishes
  system->WriteDeviceConfig32(0x04, 0x0002);
  EXPECT_EQ(system->ReadMem32(0x00), 0x11111111u);
}

TEST_F(SimSystemTest, DelayRule) {
  struct {
    uint32_t us;
    uint64_t skipped;
  } cases[] = {{0, 0}, {1, 1}, {500, 500}, {999, 999}, {1000, 1000}, {1001, 2000}, {2500, 3000}};
  for (const auto& c : cases) {
    const uint64_t before = Now();
    system->DelayMicroseconds(c.us);
    EXPECT_EQ(Now() - before, c.skipped) << c.us;
  }
  const uint64_t before = Now();
  system->SleepMilliseconds(7);
  EXPECT_EQ(Now() - before, 7000u);
  EXPECT_EQ(system->MonotonicMicroseconds(), Now());
}

TEST_F(SimSystemTest, TimeoutUsesWholeWallSeconds) {
  system->StartTimeout(1);
  EXPECT_FALSE(system->TimedOut());
  system->SleepMilliseconds(2000);
  EXPECT_TRUE(system->TimedOut());

  // Armed at the start of a second, a 1 s timeout needs 2 s; a new call replaces it.
  const int64_t wallUs = system->machine().clock().wallMicros();
  system->machine().skip(static_cast<uint64_t>(1'000'000 - wallUs % 1'000'000));
  system->StartTimeout(1);
  system->SleepMilliseconds(1999);
  EXPECT_FALSE(system->TimedOut());
  system->StartTimeout(5);
  system->SleepMilliseconds(1);
  EXPECT_FALSE(system->TimedOut());
  EXPECT_EQ(system->WallClockSeconds(), system->machine().clock().wallSeconds());
}

TEST_F(SimSystemTest, AuxWindow) {
  system->windowBase = 0xE0000000;
  EXPECT_TRUE(system->MapWindow(0x100, 0x40));
  EXPECT_TRUE(system->auxMapped());
  EXPECT_EQ(system->auxPhysical(), 0xE0000100u);
  EXPECT_EQ(system->auxWindow, nullptr);
  system->UnmapWindow();
  EXPECT_FALSE(system->auxMapped());
}

TEST(SimSystemBuiltin, ScanFindsTheDefaultBench) {
  SimSystem system(sim::BuiltinBench());
  ASSERT_EQ(system.Open(), nullptr);
  EXPECT_EQ(system.DeviceCount(), 7);  // function 0 of each device
  int buses = 0;
  for (PciBusInfo* bus = system.busList; bus != nullptr; bus = bus->next) ++buses;
  EXPECT_EQ(buses, 2);
  system.SelectDevice(1, 0);
  EXPECT_NE(system.ioBase, 0u);
  EXPECT_EQ(system.ioBase & 3, 0u);
  EXPECT_TRUE(system.windowMapped());
  EXPECT_EQ(system.ReadDeviceConfig32(0x2C), 0x043013D8u);
}

}  // namespace
