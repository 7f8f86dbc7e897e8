#include "sim/host_bridge.h"

#include "sim/machine.h"

namespace sim {

namespace {

uint32_t LaneMask(int width) {
  return width == 4 ? 0xFFFFFFFFu : (1u << (8 * width)) - 1;
}

}  // namespace

bool HostBridge::dataAccess(uint16_t port, int width, int* lane) const {
  if (!(address_ & 0x80000000u) || port < kDataPort || port > kDataPort + 3) return false;
  *lane = port - kDataPort;
  return *lane + width <= 4;
}

bool HostBridge::read(uint16_t port, int width, uint32_t* value) {
  if (port == kAddressPort && width == 4) {
    *value = address_;
    return true;
  }
  int lane = 0;
  if (!dataAccess(port, width, &lane)) return false;
  const uint32_t dword = machine_.configRead((address_ >> 16) & 0xFF, (address_ >> 11) & 0x1F,
                                             (address_ >> 8) & 7,
                                             static_cast<uint8_t>(address_ & 0xFC));
  *value = (dword >> (8 * lane)) & LaneMask(width);
  return true;
}

bool HostBridge::write(uint16_t port, uint32_t value, int width) {
  if (port == kAddressPort && width == 4) {
    address_ = value & kAddressMask;
    return true;
  }
  int lane = 0;
  if (!dataAccess(port, width, &lane)) return false;
  machine_.configWrite((address_ >> 16) & 0xFF, (address_ >> 11) & 0x1F, (address_ >> 8) & 7,
                       static_cast<uint8_t>(address_ & 0xFC), value << (8 * lane),
                       LaneMask(width) << (8 * lane));
  return true;
}

}  // namespace sim
