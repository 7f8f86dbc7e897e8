#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/bdf.h"
#include "sim/config_space.h"
#include "sim/function_spec.h"

namespace sim {

class Machine;

// Command register bits the machine acts on.
inline constexpr uint16_t kCommandIo = 0x0001;
inline constexpr uint16_t kCommandMemory = 0x0002;
inline constexpr uint16_t kCommandBusMaster = 0x0004;

// One PCI function: a configuration space with BARs. The plain class is a
// configuration space with nothing behind its BARs (reads answer all ones).
// Device models derive from it and override the hooks; the machine routes
// configuration cycles, decoded BAR accesses and the passing of time to them.
class PciFunction {
 public:
  explicit PciFunction(const FunctionSpec& spec);  // throws MachineError
  virtual ~PciFunction() = default;

  PciFunction(const PciFunction&) = delete;
  PciFunction& operator=(const PciFunction&) = delete;

  // ---- Hooks ----
  // Configuration cycle for the dword at offset (low two bits zero). The default
  // is the masked configuration-space behaviour.
  virtual uint32_t configRead(uint8_t offset);
  virtual void configWrite(uint8_t offset, uint32_t value, uint32_t byteEnables);

  // An access that one of this function's BARs decoded: offset from the BAR's
  // base, width 1, 2 or 4 bytes, values in the low bits. Defaults: nothing
  // answers (all ones), writes vanish.
  virtual uint32_t ioRead(int bar, uint32_t offset, int width);
  virtual void ioWrite(int bar, uint32_t offset, uint32_t value, int width);
  virtual uint32_t memRead(int bar, uint32_t offset, int width);
  virtual void memWrite(int bar, uint32_t offset, uint32_t value, int width);

  // Work over time: called with the machine's monotonic time before every CPU
  // access to ports, memory or configuration space and after every skip.
  virtual void tick(uint64_t nowMicros);

  // Called once the machine has taken the function (machine() is valid).
  virtual void attached() {}

  // ---- State ----
  ConfigSpace& config() { return config_; }
  const ConfigSpace& config() const { return config_; }
  uint16_t command() const { return config_.word(0x04); }
  bool ioEnabled() const { return command() & kCommandIo; }
  bool memEnabled() const { return command() & kCommandMemory; }
  bool busMaster() const { return command() & kCommandBusMaster; }
  uint8_t headerType() const { return config_.byte(0x0E); }

  int barCount() const { return barCount_; }
  const BarSpec& bar(int index) const { return bars_[index]; }
  // Current base of a BAR from its register (type bits removed); 0 if none.
  uint32_t barBase(int index) const;
  // Writes a base into a BAR register (firmware); keeps the type bits.
  void setBarBase(int index, uint32_t base);
  // The BAR that decodes a port or a memory address, or -1 (gated by the command
  // register). Virtual so that a device model can decode differently (power
  // states, a defective decoder).
  virtual int decodeIo(uint32_t port) const;
  virtual int decodeMem(uint64_t address) const;

  const std::string& name() const { return name_; }
  // Where the builder placed the function (bus number as at build time).
  Bdf placedAt() const { return placedAt_; }

  Machine& machine() const { return *machine_; }
  bool isAttached() const { return machine_ != nullptr; }

 protected:
  // DMA as bus master through physical memory; false (nothing moved) while
  // bus mastering is off.
  bool dmaRead(uint64_t address, void* data, size_t length);
  bool dmaWrite(uint64_t address, const void* data, size_t length);
  // The machine's monotonic time in microseconds.
  uint64_t now() const;
  // Defines the given dwords outright (a subclass re-applies the builder's
  // dwords after its own definitions so that they win).
  void applyConfig(const std::vector<ConfigDword>& dwords);

 private:
  friend class Machine;
  void attach(Machine* machine, Bdf at) { machine_ = machine, placedAt_ = at; }
  void defineBar(int index);

  ConfigSpace config_;
  std::array<BarSpec, 6> bars_{};
  int barCount_ = 0;
  std::string name_;
  Machine* machine_ = nullptr;
  Bdf placedAt_;
};

}  // namespace sim
