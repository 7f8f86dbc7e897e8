#include "pci/sys_access.h"

#include <cstdlib>
#include <new>

#include "hw/adapter.h"
#include "pci/pci_system.h"

uint32_t sys_config_read(PCI_System* system, int offset) { return system->ReadDeviceConfig32(offset); }

void sys_config_write(PCI_System* system, int offset, uint32_t value) {
  system->WriteDeviceConfig32(offset, value);
}

uint32_t sys_mem_read(PCI_System* system, uint32_t offset) { return system->ReadMem32(offset); }

void sys_mem_write(PCI_System* system, uint32_t offset, uint32_t value) { system->WriteMem32(offset, value); }

void sys_delay(PCI_System* system, int microseconds) {
  // Short waits are busy-waits of the exact length; longer ones are sleeps
  // rounded up to whole milliseconds.
  if (microseconds <= 1000) {
    system->DelayMicroseconds(static_cast<uint32_t>(microseconds < 0 ? 0 : microseconds));
  } else {
    system->SleepMilliseconds(static_cast<uint32_t>((microseconds + 999) / 1000));
  }
}

uint32_t host_config_read(Adapter* adapter, int offset) { return sys_config_read(adapter->host, offset); }

void host_config_write(Adapter* adapter, int offset, uint32_t value) {
  sys_config_write(adapter->host, offset, value);
}

uint32_t host_mem_read(Adapter* adapter, uint32_t offset) { return sys_mem_read(adapter->host, offset); }

void host_mem_write(Adapter* adapter, uint32_t offset, uint32_t value) {
  sys_mem_write(adapter->host, offset, value);
}

void host_delay(Adapter* adapter, int microseconds) { sys_delay(adapter->host, microseconds); }

int host_alloc(Adapter* /*adapter*/, int size, void** out) {
  if (size < 0) return -1;
  void* block = std::malloc(static_cast<size_t>(size == 0 ? 1 : size));
  if (block == nullptr) return -1;
  *out = block;
  return 0;
}
