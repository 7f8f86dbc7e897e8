#include <gtest/gtest.h>

#include <vector>

#include "sim/firmware.h"
#include "sim/machine.h"
#include "sim/pci_function.h"

namespace {

using sim::BarSpec;
using sim::BarType;

// Answers every BAR access with a value naming it, and records writes.
class EchoRegisters : public sim::PciFunction {
 public:
  using PciFunction::PciFunction;
  uint32_t ioRead(int bar, uint32_t offset, int) override { return 0x10000000u | bar << 16 | offset; }
  uint32_t memRead(int bar, uint32_t offset, int) override { return 0x20000000u | bar << 16 | offset; }
  void ioWrite(int bar, uint32_t offset, uint32_t value, int width) override {
    writes.push_back({'i', bar, offset, value, width});
  }
  void memWrite(int bar, uint32_t offset, uint32_t value, int width) override {
    writes.push_back({'m', bar, offset, value, width});
  }
  struct Write {
    char space;
    int bar;
    uint32_t offset, value;
    int width;
    bool operator==(const Write&) const = default;
  };
  std::vector<Write> writes;
};

sim::FunctionSpec AdapterSpec() {
  sim::FunctionSpec spec;
  spec.vendor = 0x1011;
  spec.device = 0x0019;
  spec.bars = {BarSpec{0, BarType::Io, 128, false, 0xC000},
               BarSpec{1, BarType::Mem32, 128, false, 0xF1000000},
               BarSpec{2, BarType::Mem32, 0x1000000, true, 0xF2000000}};
  spec.command = 0x0003;
  return spec;
}

TEST(Bar, SizingReadsTheMaskWithTypeBits) {
  sim::Machine machine;
  machine.addFunction({0, 3, 0}, AdapterSpec());
  struct {
    uint8_t offset;
    uint32_t base, sized;
  } cases[] = {{0x10, 0x0000C001, 0xFFFFFF81}, {0x14, 0xF1000000, 0xFFFFFF80},
               {0x18, 0xF2000008, 0xFF000008}, {0x1C, 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(machine.configRead(0, 3, 0, c.offset), c.base) << int{c.offset};
    machine.configWrite(0, 3, 0, c.offset, 0xFFFFFFFF);
    EXPECT_EQ(machine.configRead(0, 3, 0, c.offset), c.sized) << int{c.offset};
    machine.configWrite(0, 3, 0, c.offset, c.base);
    EXPECT_EQ(machine.configRead(0, 3, 0, c.offset), c.base) << int{c.offset};
  }
  // A base written with low bits set keeps only the size-aligned part.
  machine.configWrite(0, 3, 0, 0x10, 0x0000D07E);
  EXPECT_EQ(machine.configRead(0, 3, 0, 0x10), 0x0000D001u);
}

TEST(Bar, AccessesReachTheBarAtItsCurrentBase) {
  sim::Machine machine;
  auto& fn = static_cast<EchoRegisters&>(
      machine.addFunction({0, 3, 0}, std::make_unique<EchoRegisters>(AdapterSpec())));
  EXPECT_EQ(machine.in32(0xC048), 0x10000048u);
  EXPECT_EQ(machine.in8(0xC07F), 0x7Fu);  // masked to the access width
  EXPECT_EQ(machine.in32(0xC080), 0xFFFFFFFFu);  // just past the BAR
  EXPECT_EQ(machine.memRead(0xF1000078, 4), 0x20010078u);
  EXPECT_EQ(machine.memRead(0xF2000FFC, 4), 0x20020FFCu);
  EXPECT_EQ(machine.memRead(0xF3000000, 4), 0xFFFFFFFFu);  // just past the 16 MiB BAR
  machine.out16(0xC008, 0x1234);
  machine.memWrite(0xF1000010, 0xCAFEF00D, 4);
  EXPECT_EQ(fn.writes, (std::vector<EchoRegisters::Write>{{'i', 0, 8, 0x1234, 2},
                                                          {'m', 1, 0x10, 0xCAFEF00D, 4}}));

  // Moving the BAR moves the decode.
  machine.configWrite(0, 3, 0, 0x10, 0xD000);
  EXPECT_EQ(machine.in32(0xC000), 0xFFFFFFFFu);
  EXPECT_EQ(machine.in32(0xD004), 0x10000004u);
  // A base of zero never decodes.
  machine.configWrite(0, 3, 0, 0x14, 0);
  EXPECT_EQ(machine.memRead(0x10, 4), 0xFFFFFFFFu);
}

TEST(Bar, CommandRegisterGatesDecoding) {
  sim::Machine machine;
  auto& fn = static_cast<EchoRegisters&>(
      machine.addFunction({0, 3, 0}, std::make_unique<EchoRegisters>(AdapterSpec())));
  struct {
    uint16_t command;
    bool io, mem;
  } cases[] = {{0x0000, false, false}, {0x0001, true, false}, {0x0002, false, true},
               {0x0007, true, true}, {0x0004, false, false}};
  for (const auto& c : cases) {
    machine.configWrite(0, 3, 0, 0x04, c.command);
    fn.writes.clear();
    EXPECT_EQ(machine.in32(0xC000) != 0xFFFFFFFF, c.io) << c.command;
    EXPECT_EQ(machine.memRead(0xF1000000, 4) != 0xFFFFFFFF, c.mem) << c.command;
    machine.out32(0xC000, 1);
    machine.memWrite(0xF1000000, 2, 4);
    EXPECT_EQ(fn.writes.size(), size_t{c.io} + size_t{c.mem}) << c.command;
  }
}

TEST(Bar, BadSpecsAreRefused) {
  struct {
    BarSpec bar;
    const char* error;
  } cases[] = {
      {{0, BarType::Io, 100, false, {}}, "BAR 0 size 100 is not a power of two"},
      {{0, BarType::Io, 512, false, {}}, "BAR 0 size 512 out of range (4 to 256 for I/O BARs)"},
      {{1, BarType::Mem32, 8, false, {}}, "BAR 1 size 8 out of range (16 to 2147483648 for memory BARs)"},
      {{1, BarType::Mem32, 128, false, 0xF1000040}, "BAR 1 base 0xf1000040 is not aligned to its size 0x80"},
      {{0, BarType::Io, 128, false, 0x10000}, "BAR 0 base 0x10000 lies beyond the 16-bit I/O space"},
      {{0, BarType::Io, 16, true, {}}, "BAR 0: only memory BARs can be prefetchable"},
      {{6, BarType::Io, 16, false, {}}, "BAR index 6 out of range (this header has 6 BARs)"},
  };
  for (const auto& c : cases) EXPECT_EQ(sim::BarSpecError(c.bar, 6), c.error);
  EXPECT_EQ(sim::BarSpecError({2, BarType::Mem32, 16, false, {}}, 2),
            "BAR index 2 out of range (this header has 2 BARs)");
  EXPECT_EQ(sim::BarSpecError({5, BarType::Mem32, 0x80000000u, true, 0x80000000u}, 6), "");

  sim::FunctionSpec spec = AdapterSpec();
  spec.bars.push_back(spec.bars[0]);
  EXPECT_THROW(sim::PciFunction{spec}, sim::MachineError);
}

TEST(Firmware, AssignsAlignedDistinctBasesAroundGivenOnes) {
  sim::Machine machine;
  sim::FunctionSpec spec;
  spec.vendor = 0x1011;
  spec.bars = {BarSpec{0, BarType::Io, 128, false, {}}, BarSpec{1, BarType::Mem32, 128, false, {}}};
  machine.addFunction({0, 4, 0}, spec);
  machine.addFunction({0, 3, 0}, spec);
  spec.bars = {BarSpec{0, BarType::Io, 256, false, 0xC000},
               BarSpec{1, BarType::Mem32, 0x2000, false, 0xF0000000},
               BarSpec{2, BarType::Mem32, 128, false, 0}};  // stays unassigned
  machine.addFunction({0, 5, 0}, spec);
  sim::AssignResources(machine);

  const auto bar = [&](int device, int offset) { return machine.configRead(0, device, 0, offset); };
  // Scan order: 00:03 before 00:04, around the ranges given to 00:05.
  EXPECT_EQ(bar(3, 0x10), 0xC101u);
  EXPECT_EQ(bar(4, 0x10), 0xC181u);
  EXPECT_EQ(bar(3, 0x14), 0xF0002000u);
  EXPECT_EQ(bar(4, 0x14), 0xF0003000u);  // memory BARs get a page each
  EXPECT_EQ(bar(5, 0x10), 0xC001u);
  EXPECT_EQ(bar(5, 0x18), 0u);
}

TEST(Firmware, RunsOutOfIoSpace) {
  sim::Machine machine;
  sim::FunctionSpec spec;
  spec.bars = {BarSpec{0, BarType::Io, 256, false, {}}};
  for (int device = 0; device < 32; ++device) machine.addFunction({0, device, 0}, spec);
  for (int device = 0; device < 32; ++device) machine.addFunction({0, device, 1}, spec);
  for (int device = 0; device < 32; ++device) machine.addFunction({0, device, 2}, spec);
  // 0xC000-0xFFFF holds 64 BARs of 256 ports; the 65th has no room.
  EXPECT_THROW(sim::AssignResources(machine), sim::ResourceError);
}

}  // namespace
