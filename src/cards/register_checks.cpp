#include "cards/register_checks.h"

#include <cstdio>

#include "cards/pci_card.h"
#include "pci/pci_system.h"
#include "pci/sys_access.h"

namespace {

constexpr int kCommandRegister = 0x04;
constexpr size_t kMessageSize = 128;

void SetDecoding(PCI_System* system, uint32_t enableBit, bool on) {
  uint32_t command = sys_config_read(system, kCommandRegister);
  sys_config_write(system, kCommandRegister, on ? command | enableBit : command & ~enableBit);
}

}  // namespace

uint32_t io_register_read(PCI_System* system, uint32_t offset) {
  return system->ReadPort32(static_cast<uint16_t>(system->ioBase + offset));
}

void io_register_write(PCI_System* system, uint32_t offset, uint32_t value) {
  system->WritePort32(static_cast<uint16_t>(system->ioBase + offset), value);
}

uint32_t mem_register_read(PCI_System* system, uint32_t offset) { return system->ReadMem32(offset); }

void mem_register_write(PCI_System* system, uint32_t offset, uint32_t value) {
  system->WriteMem32(offset, value);
}

const char* CheckRegisters(PCI_System* system, const uint32_t* valueMask, const uint32_t* expected,
                           const uint32_t* writeOnly, int count, const RegisterSpace& space) {
  static char valueMessage[kMessageSize];
  static char writeOnlyMessage[kMessageSize];
  static char aliveMessage[kMessageSize];
  static char changedMessage[kMessageSize];
  static char returnMessage[kMessageSize];

  if ((sys_config_read(system, kCommandRegister) & space.enableBit) == 0) return "Device registers not enabled";

  for (int i = 0; i < count; ++i) {
    uint32_t offset = static_cast<uint32_t>(i) * 4;
    uint32_t r = space.read(system, offset);
    if ((r & valueMask[i]) != (expected[i] & valueMask[i])) {
      std::snprintf(valueMessage, sizeof valueMessage, "%s reg 0x%02x read 0x%08x exp 0x%08x", space.name, offset,
                    r, expected[i]);
      return valueMessage;
    }
    if (writeOnly[i] != 0) {
      space.write(system, offset, r ^ writeOnly[i]);
      uint32_t r2 = space.read(system, offset);
      if ((r2 & writeOnly[i]) != (r & writeOnly[i])) {
        space.write(system, offset, r);
        std::snprintf(writeOnlyMessage, sizeof writeOnlyMessage, "%s register %02x bits %08x should be write-only",
                      space.name, offset, (r2 & writeOnly[i]) ^ (r & writeOnly[i]));
        return writeOnlyMessage;
      }
    }
  }

  // With decoding off every position must read as offset 0 does and ignore writes.
  SetDecoding(system, space.enableBit, false);
  uint32_t c = space.read(system, 0);
  for (int i = 0; i < count; ++i) {
    uint32_t offset = static_cast<uint32_t>(i) * 4;
    uint32_t e = space.read(system, offset);
    if (e != c) {
      SetDecoding(system, space.enableBit, true);
      std::snprintf(aliveMessage, sizeof aliveMessage, "%s register %02x refuses to die (is %08x)", space.name,
                    offset, e);
      return aliveMessage;
    }
    space.write(system, offset, ~c);
    uint32_t d = space.read(system, offset);
    if (d != c) {
      // The write reached a live register that read c a moment ago: put c back.
      space.write(system, offset, c);
      SetDecoding(system, space.enableBit, true);
      std::snprintf(changedMessage, sizeof changedMessage, "%s register %02x refuses to die (bits %08x changed)",
                    space.name, offset, c ^ d);
      return changedMessage;
    }
  }
  SetDecoding(system, space.enableBit, true);

  for (int i = 0; i < count; ++i) {
    uint32_t offset = static_cast<uint32_t>(i) * 4;
    uint32_t back = space.read(system, offset);
    if ((back & valueMask[i]) != (expected[i] & valueMask[i])) {
      std::snprintf(returnMessage, sizeof returnMessage, "%s register %02x didn't come back - is %08x", space.name,
                    offset, back);
      return returnMessage;
    }
  }
  return nullptr;
}

const char* PCI_Card::CheckIoRegisters(const uint32_t* valueMask, const uint32_t* expected, const uint32_t* writeOnly,
                                       int count) {
  return CheckRegisters(system, valueMask, expected, writeOnly, count, kIoMappedRegisters);
}

const char* PCI_Card::CheckMemRegisters(const uint32_t* valueMask, const uint32_t* expected,
                                        const uint32_t* writeOnly, int count) {
  return CheckRegisters(system, valueMask, expected, writeOnly, count, kMemoryMappedRegisters);
}

const char* PCI_Card::CheckReadOnlyConfigBits(const uint32_t* readOnlyMask, int count) {
  static char message[kMessageSize];
  for (int i = 0; i < count; ++i) {
    if (readOnlyMask[i] == 0) continue;
    int offset = i * 4;
    uint32_t d = sys_config_read(system, offset);
    sys_config_write(system, offset, d ^ readOnlyMask[i]);
    uint32_t e = sys_config_read(system, offset);
    if ((e & readOnlyMask[i]) != (d & readOnlyMask[i])) {
      sys_config_write(system, offset, d);
      std::snprintf(message, sizeof message, "Reg 0x%02x bits 0x%08x aren't RO Exp=0x%08x, Read=0x%08x",
                    static_cast<unsigned>(offset), readOnlyMask[i], e & readOnlyMask[i], d & readOnlyMask[i]);
      return message;
    }
  }
  return nullptr;
}
