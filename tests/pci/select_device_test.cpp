#include <gtest/gtest.h>

#include "cards/pci_card.h"
#include "support/fake_config_system.h"

namespace {

struct BaseCase {
  const char* what;
  uint32_t id;
  uint32_t bar0;
  uint32_t bar1;
  uint32_t ioBase;
  uint32_t memBase;
};

TEST(SelectDevice, DecodesBaseAddresses) {
  const BaseCase cases[] = {
      {"I/O BAR0, BAR1 kept with its type bits", 0x00191011, 0x0000E001, 0xFEB0000F, 0x0000E000, 0xFEB0000F},
      {"prefetchable memory BAR0", 0x00191011, 0xF0000008, 0x0000D001, 0x0000D001, 0xF0000000},
      {"13d8:1000 with BAR0 set", 0x100013D8, 0xF0000008, 0x0000C001, 0x0000C001, 0xF0000000},
      {"13d8:1000 with BAR0 zero", 0x100013D8, 0x00000000, 0xF000000F, 0x00000000, 0xF000000F},
      {"13d8:1000 with an I/O BAR0 still decodes memory", 0x100013D8, 0x0000E001, 0x0000D001, 0x0000D001,
       0x0000E000},
  };
  for (const BaseCase& c : cases) {
    FakeConfigSystem system;
    auto& space = system.Add(0, 4, c.id, 0x02000000);
    space[4] = c.bar0;
    space[5] = c.bar1;
    ASSERT_EQ(system.ScanBuses(), nullptr);
    system.SelectDevice(0, 4);
    EXPECT_EQ(system.ioBase, c.ioBase) << c.what;
    EXPECT_EQ(system.memBase, c.memBase) << c.what;
  }
}

TEST(SelectDevice, WindowBaseOnlyForTheOneBridgeModel) {
  FakeConfigSystem system;
  auto& bridge = system.Add(0, 1, 0x00461011, 0x06040000);
  bridge[6] = 0xE8000000;
  bridge[11] = 0x060113D8;
  auto& other = system.Add(0, 2, 0x00461011, 0x06040000);
  other[6] = 0xD0000000;
  other[11] = 0x060213D8;
  ASSERT_EQ(system.ScanBuses(), nullptr);
  system.windowBase = 0x1234;
  system.SelectDevice(0, 2);
  EXPECT_EQ(system.windowBase, 0x1234u) << "other devices keep the earlier value";
  system.SelectDevice(0, 1);
  EXPECT_EQ(system.windowBase, 0xE8000000u);
  system.SelectDevice(0, 2);
  EXPECT_EQ(system.windowBase, 0xE8000000u);
}

TEST(SelectDevice, ReplacesTheCardAndLeavesItNullWithoutARecord) {
  FakeConfigSystem system;
  system.Add(0, 3, 0x00191011, 0x02000000);
  ASSERT_EQ(system.ScanBuses(), nullptr);
  ASSERT_NE(system.card, nullptr) << "the constructor creates a card";
  system.SelectDevice(0, 3);
  ASSERT_NE(system.card, nullptr);
  EXPECT_EQ(system.card->DeviceId(), 0x0019);
  system.SelectDevice(0, 9);
  EXPECT_EQ(system.card, nullptr);
  EXPECT_EQ(system.selectedDevice, 9);
}

}  // namespace
