#pragma once
#include <cstdint>

class PCI_System;

// One register space of the selected function as the register check reaches it:
// the accessor pair together with what the pair stands for, the space's enable
// bit in the command register and its name in the messages.
struct RegisterSpace {
  const char* name;
  uint32_t enableBit;
  uint32_t (*read)(PCI_System* system, uint32_t offset);
  void (*write)(PCI_System* system, uint32_t offset, uint32_t value);
};

// Ports ioBase + offset through ReadPort32/WritePort32.
uint32_t io_register_read(PCI_System* system, uint32_t offset);
void io_register_write(PCI_System* system, uint32_t offset, uint32_t value);
// The register window through ReadMem32/WriteMem32.
uint32_t mem_register_read(PCI_System* system, uint32_t offset);
void mem_register_write(PCI_System* system, uint32_t offset, uint32_t value);

inline constexpr RegisterSpace kIoMappedRegisters{"I/O-mapped", 0x1, io_register_read, io_register_write};
inline constexpr RegisterSpace kMemoryMappedRegisters{"Memory-mapped", 0x2, mem_register_read,
                                                      mem_register_write};

// Checks count registers at offsets i * 4 of the space: their values under
// valueMask against expected, that writeOnly bits read back unchanged, that every
// position goes dead while the space's decoding is off and that the values come
// back once it is on again. Null when all holds, else the first failure; the text
// stays valid until the same kind of failure is formatted again. The space's
// decoding is on again whenever the check returns after switching it off.
const char* CheckRegisters(PCI_System* system, const uint32_t* valueMask, const uint32_t* expected,
                           const uint32_t* writeOnly, int count, const RegisterSpace& space);
