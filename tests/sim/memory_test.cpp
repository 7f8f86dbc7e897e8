#include <gtest/gtest.h>

#include <cstring>

#include "sim/machine.h"
#include "sim/machine_error.h"

namespace {

TEST(PhysicalMemory, DmaBlockVisibleBothWays) {
  sim::Machine machine;
  ASSERT_EQ(machine.dmaPhysical(), 0x00200000u);
  ASSERT_EQ(machine.dmaSize(), 0x10000u);
  uint8_t* host = machine.dmaVirtual();
  const uint64_t phys = machine.dmaPhysical();

  const uint8_t bytes[] = {0x11, 0x22, 0x33, 0x44};
  std::memcpy(host + 0x100, bytes, 4);
  EXPECT_EQ(machine.memRead(phys + 0x100, 4), 0x44332211u);
  EXPECT_EQ(machine.memRead(phys + 0x102, 2), 0x4433u);
  EXPECT_EQ(machine.memRead(phys + 0x103, 1), 0x44u);

  machine.memWrite(phys + 0xFFFC, 0xDEADBEEF, 4);
  EXPECT_EQ(host[0xFFFC], 0xEF);
  EXPECT_EQ(host[0xFFFF], 0xDE);

  char block[32];
  std::memset(block, 'x', sizeof block);
  machine.dmaWrite(phys + 0x800, block, sizeof block);
  EXPECT_EQ(host[0x800], 'x');
  EXPECT_EQ(host[0x81F], 'x');
  EXPECT_EQ(host[0x820], 0);
}

TEST(PhysicalMemory, OutsideRamReadsAllOnes) {
  sim::Machine machine;
  const uint64_t end = machine.dmaPhysical() + machine.dmaSize();
  EXPECT_EQ(machine.memRead(0, 4), 0xFFFFFFFFu);
  EXPECT_EQ(machine.memRead(0x1'0000'0000ull, 2), 0xFFFFu);
  machine.memWrite(end, 0, 4);  // vanishes
  EXPECT_EQ(machine.memRead(end, 4), 0xFFFFFFFFu);

  // An access across the end of the block: the RAM half and the all-ones half.
  machine.dmaVirtual()[0xFFFE] = 0x12;
  machine.dmaVirtual()[0xFFFF] = 0x34;
  EXPECT_EQ(machine.memRead(end - 2, 4), 0xFFFF3412u);
  uint8_t buffer[4] = {};
  machine.dmaRead(end - 1, buffer, 3);
  EXPECT_EQ(buffer[0], 0x34);
  EXPECT_EQ(buffer[1], 0xFF);
  EXPECT_EQ(buffer[2], 0xFF);
}

TEST(PhysicalMemory, DmaBlockPlacement) {
  sim::Machine moved(sim::MachineOptions{0xFFFF0000u});
  moved.dmaVirtual()[4] = 0x5A;
  EXPECT_EQ(moved.memRead(0xFFFF0004u, 1), 0x5Au);
  EXPECT_THROW(sim::Machine(sim::MachineOptions{0x00200800}), sim::MachineError);
  EXPECT_THROW(sim::Machine(sim::MachineOptions{0xFFFF1000u}), sim::MachineError);
}

TEST(PhysicalMemory, RamRegions) {
  sim::Machine machine;
  uint8_t* low = machine.addRam(0, 0xA0000);
  low[0x9FFFF] = 0x77;
  EXPECT_EQ(machine.memRead(0x9FFFF, 1), 0x77u);
  EXPECT_EQ(machine.memRead(0xA0000, 1), 0xFFu);
  EXPECT_THROW(machine.addRam(0x1F0000, 0x20000), sim::MachineError);  // over the DMA block
}

}  // namespace
