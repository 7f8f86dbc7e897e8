#include <gtest/gtest.h>

#include "cards/card_factory.h"
#include "pci/card_detection.h"

namespace {

PciDeviceInfo Device(uint32_t vendor, uint32_t device, uint32_t subsystem) {
  PciDeviceInfo info;
  info.vendorId = vendor;
  info.deviceId = device;
  info.subsystemId = subsystem;
  return info;
}

TEST(CardFactory, KindByDetectionChoice) {
  struct Case {
    int detection;
    PciDeviceInfo device;
    CardKind kind;
  };
  const Case cases[] = {
      {kDetectAutomatic, Device(0x1011, 0x0019, 0x0100), CardKind::R51},
      {kDetectAutomatic, Device(0x1011, 0x0019, 0x0430), CardKind::R83},
      {kDetectAutomatic, Device(0x8086, 0x0019, 0x0430), CardKind::R83},  // the vendor is not looked at
      {kDetectAutomatic, Device(0x1011, 0x0019, 0x104F), CardKind::Unknown},
      {kDetectAutomatic, Device(0x1011, 0x0009, 0x0430), CardKind::Unknown},
      {kDetectR51, Device(0x8086, 0x1237, 0x0000), CardKind::R51},  // even a host bridge
      {kDetectR83, Device(0x8086, 0x1237, 0x0000), CardKind::R83},
      {kDetectUnknown, Device(0x1011, 0x0019, 0x0430), CardKind::Unknown},
      {7, Device(0x1011, 0x0019, 0x0430), CardKind::Unknown},
      {-1, Device(0x1011, 0x0019, 0x0100), CardKind::Unknown},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ChooseCardKind(c.device, c.detection), c.kind)
        << "detection " << c.detection << " device " << std::hex << c.device.deviceId << " subsystem "
        << c.device.subsystemId;
}

TEST(CardFactory, DetectionStartsAsUnknownCard) { EXPECT_EQ(cardDetection, kDetectUnknown); }

}  // namespace
