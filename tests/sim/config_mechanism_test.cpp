#include <gtest/gtest.h>

#include "sim/machine.h"
#include "sim/pci_function.h"

namespace {

using sim::Bdf;
using sim::FunctionSpec;
using sim::Machine;

uint32_t Address(int bus, int device, int function, int offset) {
  return 0x80000000u | bus << 16 | device << 11 | function << 8 | offset;
}

class ConfigMechanism : public ::testing::Test {
 protected:
  void SetUp() override {
    FunctionSpec spec;
    spec.vendor = 0x1011;
    spec.device = 0x0019;
    spec.classCode = 0x020000;
    spec.revision = 0x41;
    spec.subsystemVendor = 0x13D8;
    spec.subsystemId = 0x0430;
    spec.config.push_back({0x40, 0x11223344, 0xFFFFFFFF, 0});
    machine.addFunction(Bdf{0, 3, 0}, spec);
  }

  uint32_t Read(uint32_t address) {
    machine.out32(0xCF8, address);
    return machine.in32(0xCFC);
  }

  Machine machine;
};

TEST_F(ConfigMechanism, EnableBitGatesTheDataWindow) {
  EXPECT_EQ(Read(Address(0, 3, 0, 0x00)), 0x00191011u);
  // The same function with bit 31 clear: the data port is not a config access.
  EXPECT_EQ(Read(Address(0, 3, 0, 0x00) & 0x7FFFFFFF), 0xFFFFFFFFu);
  machine.out32(0xCF8, Address(0, 3, 0, 0x40) & 0x7FFFFFFF);
  machine.out32(0xCFC, 0);
  EXPECT_EQ(Read(Address(0, 3, 0, 0x40)), 0x11223344u);
}

TEST_F(ConfigMechanism, AbsentFunctionsReadAllOnesAndIgnoreWrites) {
  for (uint32_t address : {Address(0, 4, 0, 0), Address(0, 3, 1, 0), Address(1, 3, 0, 0),
                           Address(255, 31, 7, 0xFC)}) {
    EXPECT_EQ(Read(address), 0xFFFFFFFFu) << std::hex << address;
    machine.out32(0xCFC, 0);
  }
  EXPECT_EQ(Read(Address(0, 3, 0, 0x40)), 0x11223344u);
}

TEST_F(ConfigMechanism, DwordAccessIgnoresTheLowOffsetBits) {
  // The program sends 0x2E for the subsystem ID and picks the half itself.
  EXPECT_EQ(Read(Address(0, 3, 0, 0x2E)), 0x043013D8u);
  EXPECT_EQ(Read(Address(0, 3, 0, 0x0B)), 0x02000041u);
}

TEST_F(ConfigMechanism, ByteLanesOfTheDataWindow) {
  machine.out32(0xCF8, Address(0, 3, 0, 0x40));
  EXPECT_EQ(machine.in8(0xCFC), 0x44);
  EXPECT_EQ(machine.in8(0xCFF), 0x11);
  EXPECT_EQ(machine.in16(0xCFE), 0x1122);
  machine.out16(0xCFE, 0xBEEF);
  machine.out8(0xCFC, 0x99);
  EXPECT_EQ(machine.in32(0xCFC), 0xBEEF3399u);
}

TEST_F(ConfigMechanism, AddressRegisterReadsBack) {
  machine.out32(0xCF8, 0xFFFFFFFF);
  EXPECT_EQ(machine.in32(0xCF8), 0x80FFFFFFu);  // reserved bits 30-24 read zero
  machine.out32(0xCF8, 0x8001182E);
  EXPECT_EQ(machine.in32(0xCF8), 0x8001182Eu);
  // Narrow accesses do not reach the address register.
  machine.out8(0xCF8, 0);
  machine.out16(0xCFA, 0);
  EXPECT_EQ(machine.in32(0xCF8), 0x8001182Eu);
  EXPECT_EQ(machine.in8(0xCF8), 0xFF);
}

TEST_F(ConfigMechanism, UnclaimedPortsReadAllOnes) {
  EXPECT_EQ(machine.in32(0x0080), 0xFFFFFFFFu);
  EXPECT_EQ(machine.in16(0x0080), 0xFFFF);
  EXPECT_EQ(machine.in8(0xFFFF), 0xFF);
  machine.out32(0x0080, 0);  // vanishes
  EXPECT_EQ(machine.in32(0x0080), 0xFFFFFFFFu);
}

}  // namespace
