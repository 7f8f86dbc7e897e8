#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fake_config_system.h"

namespace {

constexpr uint32_t kHostBridgeClass = 0x06000000;
constexpr uint32_t kPciBridgeClass = 0x06040000;
constexpr uint32_t kEthernetClass = 0x02000000;
constexpr uint32_t kBridgeHeader = 0x00010000;  // header type 1 in byte 0x0E

// "bus:device@record" for every device record, records in list order.
std::vector<std::string> Layout(const PCI_System& system) {
  std::vector<std::string> out;
  for (PciBusInfo* bus = system.busList; bus != nullptr; bus = bus->next) {
    out.push_back("bus " + std::to_string(bus->busNumber) + " (" + std::to_string(bus->deviceCount) + ")");
    for (PciDeviceInfo* d = bus->devices; d != nullptr; d = d->next)
      out.push_back("  " + std::to_string(d->busNumber) + ":" + std::to_string(d->deviceNumber) + " sec " +
                    std::to_string(d->secondaryBus) + " sub " + std::to_string(d->subordinateBus));
  }
  return out;
}

using Lines = std::vector<std::string>;

TEST(Scan, HostBridgeMakesBusZeroAndLaterBridgesMakeNoRecords) {
  FakeConfigSystem system;
  system.Add(0, 0, 0x12378086, kHostBridgeClass);
  system.Add(0, 5, 0x00011011, kPciBridgeClass, kBridgeHeader)[6] = 0x00010100;  // pri 0 sec 1 sub 1
  system.Add(0, 7, 0x00191011, kEthernetClass);
  system.Add(1, 2, 0x00191011, kEthernetClass);
  ASSERT_EQ(system.ScanBuses(), nullptr);
  EXPECT_EQ(Layout(system), (Lines{"bus 0 (3)", "  0:0 sec 0 sub 0", "  0:5 sec 0 sub 0", "  0:7 sec 0 sub 0",
                                   "bus 1 (1)", "  1:2 sec 0 sub 0"}));
  EXPECT_EQ(system.DeviceCount(), 4);
}

TEST(Scan, BridgeFirstOnABusRecordsItsSecondaryBusFirst) {
  FakeConfigSystem system;
  system.Add(0, 0, 0x00011011, kPciBridgeClass, kBridgeHeader)[6] = 0x00030200;  // pri 0 sec 2 sub 3
  system.Add(0, 1, 0x00191011, kEthernetClass);
  system.Add(2, 0, 0x00191011, kEthernetClass);
  ASSERT_EQ(system.ScanBuses(), nullptr);
  EXPECT_EQ(Layout(system), (Lines{"bus 2 (1)", "  2:0 sec 0 sub 0", "bus 0 (2)", "  0:0 sec 2 sub 3",
                                   "  0:1 sec 0 sub 0"}));
}

TEST(Scan, FirstDeviceThatIsNoBridgeMakesItsOwnBusRecord) {
  FakeConfigSystem system;
  system.Add(3, 4, 0x00191011, kEthernetClass);
  ASSERT_EQ(system.ScanBuses(), nullptr);
  EXPECT_EQ(Layout(system), (Lines{"bus 3 (1)", "  3:4 sec 0 sub 0"}));
}

TEST(Scan, VendorFfffIsAbsentAnythingElseIsRecorded) {
  FakeConfigSystem system;
  system.Add(0, 1, 0xFFFFFFFF, 0xFFFFFFFF);
  system.Add(0, 2, 0xFFFF0000, kEthernetClass);  // vendor 0x0000: recorded
  ASSERT_EQ(system.ScanBuses(), nullptr);
  ASSERT_NE(system.busList, nullptr);
  ASSERT_EQ(system.busList->deviceCount, 1u);
  EXPECT_EQ(system.busList->devices->deviceNumber, 2u);
  EXPECT_EQ(system.busList->devices->deviceId, 0xFFFFu);
}

TEST(Scan, RecordFieldsAndBridgeSubsystemIds) {
  FakeConfigSystem system;
  auto& nic = system.Add(0, 1, 0x00191011, 0x02000041, 0x00800000);
  nic[11] = 0x043013D8;
  auto& bridge = system.Add(0, 2, 0x00011011, kPciBridgeClass, kBridgeHeader);
  bridge[11] = 0x12345678;  // bridges' 0x2C is no subsystem ID
  ASSERT_EQ(system.ScanBuses(), nullptr);
  const PciDeviceInfo* d = system.busList->devices;
  EXPECT_EQ(d->vendorId, 0x1011u);
  EXPECT_EQ(d->deviceId, 0x0019u);
  EXPECT_EQ(d->revisionId, 0x41u);
  EXPECT_EQ(d->baseClass, 2u);
  EXPECT_EQ(d->headerType, 0x80u);
  EXPECT_EQ(d->subsystemVendorId, 0x13D8u);
  EXPECT_EQ(d->subsystemId, 0x0430u);
  d = d->next;
  EXPECT_EQ(d->subsystemVendorId, 0u);
  EXPECT_EQ(d->subsystemId, 0u);
}

TEST(Scan, DeviceCountWrapsAtEightBits) {
  FakeConfigSystem system;
  for (int bus = 0; bus < 9; ++bus)
    for (int device = 0; device < 32; ++device) system.Add(bus, device, 0x00191011, kEthernetClass);
  ASSERT_EQ(system.ScanBuses(), nullptr);
  EXPECT_EQ(system.DeviceCount(), (9 * 32) % 256);
  unsigned records = 0;
  for (PciBusInfo* bus = system.busList; bus != nullptr; bus = bus->next) records += bus->deviceCount;
  EXPECT_EQ(records, 9u * 32u);
}

TEST(Scan, AddDeviceToAMissingBusFails) {
  FakeConfigSystem system;
  auto* device = new PciDeviceInfo;
  EXPECT_FALSE(system.AddDevice(7, device));
  EXPECT_EQ(system.DeviceCount(), 1) << "the count grows before the bus is looked up";
  delete device;
}

}  // namespace
