#pragma once
#include <cstdint>

class PCI_System;
struct Adapter;

// C-callable access to the selected function, for code written as C modules.
// The sys_ family takes the system; the host_ family takes the packet engine's
// adapter record and follows its link to the system.
uint32_t sys_config_read(PCI_System* system, int offset);
void sys_config_write(PCI_System* system, int offset, uint32_t value);
uint32_t sys_mem_read(PCI_System* system, uint32_t offset);
void sys_mem_write(PCI_System* system, uint32_t offset, uint32_t value);
void sys_delay(PCI_System* system, int microseconds);

uint32_t host_config_read(Adapter* adapter, int offset);
void host_config_write(Adapter* adapter, int offset, uint32_t value);
uint32_t host_mem_read(Adapter* adapter, uint32_t offset);
void host_mem_write(Adapter* adapter, uint32_t offset, uint32_t value);
void host_delay(Adapter* adapter, int microseconds);
int host_alloc(Adapter* adapter, int size, void** out);
