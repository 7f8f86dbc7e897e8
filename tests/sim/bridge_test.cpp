#include <gtest/gtest.h>

#include <string>

#include "sim/machine.h"
#include "sim/machine_error.h"
#include "sim/pci_bridge.h"

namespace {

using sim::Bdf;
using sim::FunctionSpec;
using sim::Machine;

FunctionSpec Spec(uint16_t vendor, uint16_t device) {
  FunctionSpec spec;
  spec.vendor = vendor;
  spec.device = device;
  return spec;
}

// 00:1e.0 bridge to 01-02, 01:00.0 bridge to 02, functions on every bus.
class Bridges : public ::testing::Test {
 protected:
  void SetUp() override {
    machine.addFunction(Bdf{0, 0, 0}, Spec(0x8086, 0x1237));
    machine.addBridge(Bdf{0, 0x1E, 0}, Spec(0x8086, 0x244E), 1, 2);
    machine.addBridge(Bdf{1, 0, 0}, Spec(0x104C, 0xAC23), 2, 2);
    machine.addFunction(Bdf{1, 4, 0}, Spec(0x1011, 0x0019));
    machine.addFunction(Bdf{2, 5, 0}, Spec(0x1011, 0x0009));
  }

  uint16_t VendorAt(int bus, int device) {
    machine.out32(0xCF8, 0x80000000u | bus << 16 | device << 11);
    return static_cast<uint16_t>(machine.in32(0xCFC));
  }

  Machine machine;
};

TEST_F(Bridges, ForwardThroughTwoLevels) {
  EXPECT_EQ(VendorAt(0, 0), 0x8086);
  EXPECT_EQ(VendorAt(0, 0x1E), 0x8086);
  EXPECT_EQ(VendorAt(1, 0), 0x104C);
  EXPECT_EQ(VendorAt(1, 4), 0x1011);
  EXPECT_EQ(VendorAt(2, 5), 0x1011);
  EXPECT_EQ(machine.configRead(2, 5, 0, 0) >> 16, 0x0009u);
  // Same slots on the wrong bus, and buses no bridge claims.
  EXPECT_EQ(VendorAt(0, 4), 0xFFFF);
  EXPECT_EQ(VendorAt(1, 5), 0xFFFF);
  EXPECT_EQ(VendorAt(2, 4), 0xFFFF);
  EXPECT_EQ(VendorAt(3, 5), 0xFFFF);
}

TEST_F(Bridges, HeaderOfABridge) {
  EXPECT_EQ(machine.configRead(0, 0x1E, 0, 0x08) >> 8, 0x060400u);
  EXPECT_EQ(machine.configRead(0, 0x1E, 0, 0x0C) >> 16 & 0x7F, 1u);
  EXPECT_EQ(machine.configRead(0, 0x1E, 0, 0x18) & 0xFFFFFF, 0x020100u);
  EXPECT_EQ(machine.configRead(1, 0, 0, 0x18) & 0xFFFFFF, 0x020201u);
}

TEST_F(Bridges, BusNumbersReprogrammedAtRunTime) {
  // Renumber the hierarchy: the top bridge to 05-06, the inner one to 06.
  machine.configWrite(0, 0x1E, 0, 0x18, 0x00060500);
  EXPECT_EQ(VendorAt(1, 0), 0xFFFF);  // bus 1 is gone
  EXPECT_EQ(VendorAt(5, 0), 0x104C);  // the inner bridge now sits on bus 5
  EXPECT_EQ(VendorAt(5, 4), 0x1011);
  EXPECT_EQ(VendorAt(6, 5), 0xFFFF);  // inner bridge still forwards to 2
  machine.configWrite(5, 0, 0, 0x18, 0x00060605);
  EXPECT_EQ(VendorAt(6, 5), 0x1011);
  EXPECT_EQ(VendorAt(2, 5), 0xFFFF);
  EXPECT_EQ(machine.functionAt(6, 5, 0)->placedAt(), (Bdf{2, 5, 0}));

  // A subordinate that no longer covers the inner bus cuts it off.
  machine.configWrite(0, 0x1E, 0, 0x18, 0x00050500);
  EXPECT_EQ(VendorAt(5, 4), 0x1011);
  EXPECT_EQ(VendorAt(6, 5), 0xFFFF);
}

TEST(BridgeBuilder, RefusesBadTopologies) {
  struct Case {
    const char* what;
    Bdf at;
    int secondary, subordinate;
    const char* error;
  } cases[] = {
      {"loop", {1, 2, 0}, 1, 1, "bridge 01:02.0 forwards to bus 01, which is not above its own bus 01 (a bridge loop)"},
      {"backwards", {1, 2, 0}, 0, 0, "bridge 01:02.0 forwards to bus 00, which is not above its own bus 01 (a bridge loop)"},
      {"inverted", {0, 2, 0}, 5, 4, "bridge 00:02.0 has subordinate bus 04 below its secondary bus 05"},
      {"overlap", {0, 2, 0}, 3, 4, "bridge 00:02.0 range 03-04 overlaps bridge 00:1e.0 (01-03)"},
      {"beyond parent", {1, 2, 0}, 2, 4, "bridge 01:02.0 range 02-04 reaches beyond its parent bridge 00:1e.0 (01-03)"},
      {"unreachable", {7, 0, 0}, 8, 8, "bus 07 is not reached by any bridge"},
      {"duplicate", {0, 0x1E, 0}, 9, 9, "duplicate function 00:1e.0"},
  };
  for (const Case& c : cases) {
    Machine machine;
    machine.addBridge(Bdf{0, 0x1E, 0}, Spec(0x8086, 0x244E), 1, 3);
    try {
      machine.addBridge(c.at, Spec(0x8086, 0x244E), static_cast<uint8_t>(c.secondary),
                        static_cast<uint8_t>(c.subordinate));
      ADD_FAILURE() << c.what << ": accepted";
    } catch (const sim::MachineError& e) {
      EXPECT_EQ(std::string(e.what()), c.error) << c.what;
    }
    EXPECT_EQ(machine.functions().size(), 1u) << c.what;
  }
}

TEST(BridgeBuilder, FunctionsNeedAReachedBus) {
  Machine machine;
  EXPECT_THROW(machine.addFunction(Bdf{1, 0, 0}, Spec(1, 1)), sim::MachineError);
  machine.addBridge(Bdf{0, 1, 0}, Spec(0x8086, 0x244E), 1, 1);
  EXPECT_NO_THROW(machine.addFunction(Bdf{1, 0, 0}, Spec(1, 1)));
  EXPECT_THROW(machine.addFunction(Bdf{0, 32, 0}, Spec(1, 1)), sim::MachineError);
  EXPECT_THROW(machine.addFunction(Bdf{0, 0, 8}, Spec(1, 1)), sim::MachineError);
}

}  // namespace
