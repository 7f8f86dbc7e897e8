#pragma once
#include <cstdint>

// One record per PCI function found by the bus scan (function 0 of each device).
struct PciDeviceInfo {
  uint32_t vendorId = 0;
  uint32_t deviceId = 0;
  uint32_t revisionId = 0;
  uint32_t progIf = 0;
  uint32_t subClass = 0;
  uint32_t baseClass = 0;
  uint32_t headerType = 0;  // header type in the low byte, BIST in the high byte
  uint32_t deviceNumber = 0;
  uint32_t busNumber = 0;
  uint32_t secondaryBus = 0;
  uint32_t subordinateBus = 0;
  uint32_t subsystemId = 0;
  uint32_t subsystemVendorId = 0;
  PciDeviceInfo* next = nullptr;
};

// One record per bus that the scan met, holding its device records in scan order.
struct PciBusInfo {
  uint32_t busNumber = 0;
  uint32_t deviceCount = 0;
  PciDeviceInfo* devices = nullptr;
  PciBusInfo* next = nullptr;
};
