#pragma once
#include <cstdint>

namespace sim {

class Machine;

// The host bridge's configuration mechanism 1: a dword address register at port
// 0xCF8 (enable bit 31, bus 23-16, device 15-11, function 10-8, register 7-2) and
// the data window 0xCFC-0xCFF, whose byte lanes select bytes of the addressed dword.
class HostBridge {
 public:
  static constexpr uint16_t kAddressPort = 0xCF8;
  static constexpr uint16_t kDataPort = 0xCFC;
  // Reserved bits 30-24 read as zero.
  static constexpr uint32_t kAddressMask = 0x80FFFFFF;

  explicit HostBridge(Machine& machine) : machine_(machine) {}

  // True when the access belongs to the configuration ports (value set on reads).
  // Only dword accesses reach the address register; the data window is claimed
  // only while the enable bit is set.
  bool read(uint16_t port, int width, uint32_t* value);
  bool write(uint16_t port, uint32_t value, int width);

  uint32_t address() const { return address_; }

 private:
  // Byte lane and width of a data access, or false if it is not one.
  bool dataAccess(uint16_t port, int width, int* lane) const;

  Machine& machine_;
  uint32_t address_ = 0;
};

}  // namespace sim
