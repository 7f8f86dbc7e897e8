#include <gtest/gtest.h>

#include "support/fake_config_system.h"

namespace {

TEST(ConfigAccess, AddressCarriesTheOffsetUnmasked) {
  EXPECT_EQ(PCI_System::ConfigAddress(1, 3, 0x2E, 0), 0x8001182Eu);
  EXPECT_EQ(PCI_System::ConfigAddress(0, 0, 0x00, 0), 0x80000000u);
  // Device and function numbers are masked to their fields, the offset to a byte.
  EXPECT_EQ(PCI_System::ConfigAddress(255, 0x3F, 0x1FF, 9), 0x80FFF9FFu);
}

TEST(ConfigAccess, ReadsClearTheAddressRegisterWritesDoNot) {
  FakeConfigSystem system;
  system.Add(1, 3, 0x00191011, 0x02000041);
  system.selectedBus = 1;
  system.selectedDevice = 3;

  EXPECT_EQ(system.ReadConfig32(1, 3, 0x08, 0), 0x02000041u);
  ASSERT_EQ(system.log.size(), 3u);
  EXPECT_TRUE(system.log[0].write);
  EXPECT_EQ(system.log[0].port, 0xCF8);
  EXPECT_EQ(system.log[0].value, 0x80011808u);
  EXPECT_FALSE(system.log[1].write);
  EXPECT_EQ(system.log[1].port, 0xCFC);
  EXPECT_EQ(system.log[2].port, 0xCF8);
  EXPECT_EQ(system.log[2].value, 0u);

  system.log.clear();
  system.WriteDeviceConfig32(0x04, 0x147);
  ASSERT_EQ(system.log.size(), 2u);
  EXPECT_EQ(system.log[0].value, 0x80011804u);
  EXPECT_EQ(system.log[1].port, 0xCFC);
  EXPECT_EQ(system.log[1].value, 0x147u);
  EXPECT_EQ(system.address, 0x80011804u) << "only reads clear the address register";
}

TEST(ConfigAccess, WordAndBytePicks) {
  FakeConfigSystem system;
  system.Add(0, 0, 0x00191011, 0x02010041);
  struct Case {
    int offset;
    int width;
    uint32_t expected;
  };
  const Case cases[] = {
      {0x00, 16, 0x1011}, {0x02, 16, 0x0019}, {0x03, 16, 0x0019}, {0x08, 8, 0x41},
      {0x09, 8, 0x00},    {0x0A, 8, 0x01},    {0x0B, 8, 0x02},
  };
  for (const Case& c : cases) {
    if (c.width == 16) {
      uint16_t word = 0;
      EXPECT_EQ(system.ReadConfig16(0, 0, c.offset, 0, &word), 0);
      EXPECT_EQ(word, c.expected) << "offset " << c.offset;
    } else {
      uint8_t byte = 0;
      EXPECT_EQ(system.ReadConfig8(0, 0, c.offset, 0, &byte), 0);
      EXPECT_EQ(byte, c.expected) << "offset " << c.offset;
    }
  }
}

}  // namespace
