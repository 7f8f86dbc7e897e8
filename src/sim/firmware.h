#pragma once
#include <cstdint>
#include <string>

#include "sim/bdf.h"
#include "sim/machine_error.h"

namespace sim {

class Machine;

// Address ranges the firmware hands out to BARs that were built without a base.
inline constexpr uint32_t kFirmwareIoStart = 0xC000;
inline constexpr uint32_t kFirmwareIoEnd = 0x10000;
inline constexpr uint32_t kFirmwareMemStart = 0xF0000000;
inline constexpr uint32_t kFirmwareMemEnd = 0xFEC00000;  // below the APIC area

// The power-on firmware's resource pass: gives every BAR without a base an
// address, in scan order (bus, device, function as placed, then BAR index),
// aligned to its size (memory BARs to at least a 4 KiB page so that a page
// mapped for one function shows no other), avoiding the bases given outright.
// Throws ResourceError when a range runs out.
void AssignResources(Machine& machine);

// A BAR the firmware found no room for.
struct ResourceError : MachineError {
  ResourceError(const std::string& message, Bdf function) : MachineError(message), at(function) {}
  Bdf at;
};

}  // namespace sim
