#include <gtest/gtest.h>

#include <cctype>

#include "sim/config_space.h"
#include "sim/machine.h"
#include "sim/pci_function.h"

namespace {

struct MaskCase {
  const char* what;
  uint32_t value, writable, w1c;
  uint32_t write, byteEnables;
  uint32_t expected;
};

class ConfigSpaceWrite : public ::testing::TestWithParam<MaskCase> {};

TEST_P(ConfigSpaceWrite, AppliesMasks) {
  const MaskCase& c = GetParam();
  sim::ConfigSpace space;
  space.define(0x40, c.value, c.writable, c.w1c);
  space.write(0x42, c.write, c.byteEnables);  // low offset bits select the same dword
  EXPECT_EQ(space.read(0x40), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ConfigSpaceWrite,
    ::testing::Values(
        MaskCase{"read-only", 0x12345678, 0, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0x12345678},
        MaskCase{"writable low half", 0x12345678, 0x0000FFFF, 0, 0xAAAABBBB, 0xFFFFFFFF, 0x1234BBBB},
        MaskCase{"w1c clears only ones written", 0xF0000000, 0, 0xF0000000, 0x50000000, 0xFFFFFFFF,
                 0xA0000000},
        MaskCase{"w1c written zero keeps", 0xF0000000, 0, 0xF0000000, 0, 0xFFFFFFFF, 0xF0000000},
        MaskCase{"command and status together", 0x82000003, 0x0000FFFF, 0x80000000, 0x80000007,
                 0xFFFFFFFF, 0x02000007},
        MaskCase{"writable and w1c: write then clear", 0, 0x1, 0x1, 0x1, 0xFFFFFFFF, 0},
        MaskCase{"byte lane limits the write", 0x00000000, 0xFFFFFFFF, 0, 0xAABBCCDD, 0x0000FF00,
                 0x0000CC00},
        MaskCase{"byte lane limits w1c", 0xFF00FF00, 0, 0xFFFFFFFF, 0xFFFFFFFF, 0xFF000000,
                 0x0000FF00}),
    [](const auto& info) {
      std::string name = info.param.what;
      for (char& ch : name) if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
      return name;
    });

TEST(ConfigSpace, StandardHeaderOfAFunction) {
  sim::FunctionSpec spec;
  spec.vendor = 0x1011;
  spec.device = 0x0019;
  spec.classCode = 0x020000;
  spec.revision = 0x41;
  spec.subsystemVendor = 0x13D8;
  spec.subsystemId = 0x0100;
  spec.status = 0x0280 | 0x2000;  // master abort seen
  spec.command = 0x0007;
  sim::Machine machine;
  sim::PciFunction& fn = machine.addFunction({0, 4, 0}, spec);

  EXPECT_EQ(machine.configRead(0, 4, 0, 0x00), 0x00191011u);
  EXPECT_EQ(machine.configRead(0, 4, 0, 0x08), 0x02000041u);
  EXPECT_EQ(machine.configRead(0, 4, 0, 0x2C), 0x010013D8u);
  // IDs are read-only; status abort bits clear by writing one; command bits stick.
  machine.configWrite(0, 4, 0, 0x00, 0);
  machine.configWrite(0, 4, 0, 0x04, 0x20000003);
  EXPECT_EQ(machine.configRead(0, 4, 0, 0x00), 0x00191011u);
  EXPECT_EQ(machine.configRead(0, 4, 0, 0x04), 0x02800003u);
  EXPECT_TRUE(fn.ioEnabled());
  EXPECT_TRUE(fn.memEnabled());
  EXPECT_FALSE(fn.busMaster());
  machine.configWrite(0, 4, 0, 0x04, 0x00000004);
  EXPECT_TRUE(fn.busMaster());
  EXPECT_FALSE(fn.ioEnabled());
}

TEST(ConfigSpace, BuilderDwordsOverrideTheStandardOnes) {
  sim::FunctionSpec spec;
  spec.vendor = 0x8086;
  spec.device = 0x1237;
  spec.config = {{0x04, 0x0000FFFF, 0, 0}, {0x50, 0x1, 0xFF, 0x100}};
  sim::Machine machine;
  machine.addFunction({0, 0, 0}, spec);
  machine.configWrite(0, 0, 0, 0x04, 0);
  EXPECT_EQ(machine.configRead(0, 0, 0, 0x04), 0x0000FFFFu);  // made read-only
  machine.configWrite(0, 0, 0, 0x50, 0x1FF);
  EXPECT_EQ(machine.configRead(0, 0, 0, 0x50), 0xFFu);
}

TEST(ConfigSpace, SecondFunctionMarksTheDeviceMultiFunction) {
  sim::FunctionSpec spec;
  spec.vendor = 0x8086;
  spec.device = 0x7000;
  sim::Machine machine;
  machine.addFunction({0, 1, 0}, spec);
  EXPECT_EQ(machine.configRead(0, 1, 0, 0x0C) >> 16 & 0xFF, 0x00u);
  spec.device = 0x7010;
  machine.addFunction({0, 1, 1}, spec);
  EXPECT_EQ(machine.configRead(0, 1, 0, 0x0C) >> 16 & 0xFF, 0x80u);
  EXPECT_EQ(machine.configRead(0, 1, 1, 0x00), 0x70108086u);
}

}  // namespace
