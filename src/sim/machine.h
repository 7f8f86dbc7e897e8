#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/bdf.h"
#include "sim/clock.h"
#include "sim/function_spec.h"
#include "sim/host_bridge.h"
#include "sim/pci_bus.h"
#include "sim/physical_memory.h"

namespace sim {

class PciFunction;
class PciBridge;
class EthernetSegment;

struct MachineOptions {
  static constexpr uint64_t kDefaultDmaBase = 0x00200000;
  // Physical address of the 64 KiB DMA block: page aligned, below 4 GiB.
  uint64_t dmaBase = kDefaultDmaBase;
  Clock::Mode clock = Clock::Mode::Real;
};

// The simulated PC: port and memory spaces, the host bridge with its PCI
// hierarchy, RAM with the DMA block, and the clock.
//
// I/O and memory space are flat: every function decodes its own BARs (gated by
// its command register), whatever bridges lie between it and the host; bridges
// forward configuration cycles only. Unclaimed ports and addresses read all
// ones and swallow writes. If BARs overlap, the function added first wins.
class Machine {
 public:
  static constexpr uint32_t kDmaSize = 0x10000;

  explicit Machine(const MachineOptions& options = {});  // throws MachineError
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  // ---- Building (throw MachineError) ----
  // Places a function at bus:device.function; the bus number is resolved
  // through the bridges as they are programmed now. A PciBridge must forward to
  // buses above its own, inside its parent's range and apart from its siblings'.
  PciFunction& addFunction(Bdf at, std::unique_ptr<PciFunction> function);
  PciFunction& addFunction(Bdf at, const FunctionSpec& spec);
  PciBridge& addBridge(Bdf at, const FunctionSpec& spec, uint8_t secondary, uint8_t subordinate);
  uint8_t* addRam(uint64_t base, uint64_t size) { return memory_.addRam(base, size); }
  // An Ethernet segment the machine keeps (boards are cabled to it by name);
  // throws MachineError when the name is taken.
  EthernetSegment& addSegment(std::unique_ptr<EthernetSegment> segment);
  EthernetSegment* segment(std::string_view name) const;  // null if none

  std::string description;

  // ---- CPU side: devices catch up with time before each access ----
  uint32_t ioRead(uint16_t port, int width);  // width 1, 2 or 4
  void ioWrite(uint16_t port, uint32_t value, int width);
  uint8_t in8(uint16_t port) { return static_cast<uint8_t>(ioRead(port, 1)); }
  uint16_t in16(uint16_t port) { return static_cast<uint16_t>(ioRead(port, 2)); }
  uint32_t in32(uint16_t port) { return ioRead(port, 4); }
  void out8(uint16_t port, uint8_t value) { ioWrite(port, value, 1); }
  void out16(uint16_t port, uint16_t value) { ioWrite(port, value, 2); }
  void out32(uint16_t port, uint32_t value) { ioWrite(port, value, 4); }
  uint32_t memRead(uint64_t address, int width);
  void memWrite(uint64_t address, uint32_t value, int width);

  // ---- Bus side: no time passes (host bridge, device DMA, tests) ----
  // A configuration cycle routed from bus 0; absent functions read all ones.
  uint32_t configRead(int bus, int device, int function, uint8_t offset);
  void configWrite(int bus, int device, int function, uint8_t offset, uint32_t value,
                   uint32_t byteEnables = 0xFFFFFFFFu);
  uint32_t busMemRead(uint64_t address, int width);
  void busMemWrite(uint64_t address, uint32_t value, int width);
  // Block transfers through physical memory (RAM, else BARs, else all ones).
  void dmaRead(uint64_t address, void* data, size_t length);
  void dmaWrite(uint64_t address, const void* data, size_t length);

  // ---- Time ----
  Clock& clock() { return clock_; }
  const Clock& clock() const { return clock_; }
  // Skips time (a sleep that costs nothing), then lets devices catch up.
  void skip(uint64_t micros);
  // Lets every device catch up with the clock now.
  void poll();

  // ---- RAM and the DMA block ----
  PhysicalMemory& memory() { return memory_; }
  uint64_t dmaPhysical() const { return dmaBase_; }
  uint8_t* dmaVirtual() const { return dma_; }
  uint32_t dmaSize() const { return kDmaSize; }

  // ---- Topology ----
  // The function a configuration cycle for bus:device.function reaches now, or null.
  PciFunction* functionAt(int bus, int device, int function);
  // Every function in the order added.
  const std::vector<PciFunction*>& functions() const { return functions_; }
  PciBus& rootBus() { return root_; }
  HostBridge& hostBridge() { return hostBridge_; }

 private:
  void checkBridge(Bdf at, PciBus& segment, const PciBridge& bridge) const;
  void markMultiFunction(PciBus& segment, int device);
  PciFunction* decodeIo(uint32_t port, int* bar);
  PciFunction* decodeMem(uint64_t address, int* bar);

  Clock clock_;
  PhysicalMemory memory_;
  uint64_t dmaBase_;
  uint8_t* dma_ = nullptr;
  HostBridge hostBridge_;
  PciBus root_;
  // Before the functions: segments outlive the boards cabled to them.
  std::vector<std::unique_ptr<EthernetSegment>> segments_;
  std::vector<std::unique_ptr<PciFunction>> owned_;
  std::vector<PciFunction*> functions_;
  bool polling_ = false;
};

}  // namespace sim
