#pragma once
#include <cstdint>

#include "hw/r83drv.h"
#include "pci/engine_hooks.h"
#include "pci/sys_access.h"

// Shared between the engine's files; not for callers.

// Every wait for the chip or the PHY gives up after this long: far beyond what
// a working part needs (microseconds), short enough for the operator.
constexpr uint64_t R83_WAIT_MICROS = 1000000;
// Pause between two looks at a CSR in a bounded wait.
constexpr int R83_POLL_MICROS = 10;
// Between two looks at a PHY register (each MII frame takes over 100 us itself).
constexpr int R83_PHY_POLL_MICROS = 1000;

struct R83Deadline {
  uint64_t start;
  uint64_t limit;
};

inline R83Deadline r83drv_deadline(Adapter* a, uint64_t micros) { return {host_microseconds(a), micros}; }
inline bool r83drv_expired(Adapter* a, const R83Deadline& d) { return host_microseconds(a) - d.start >= d.limit; }

// Ring invariant: the records in use are exactly those from txlast up to txnext.
void r83drv_check_ring(Adapter* a);
// Transmit reclaim: counts and reports completed records, frees them.
void r83drv_tx_reclaim(Adapter* a);
// Moves completed receive records to the consumer (host_rx_indicate).
void r83drv_rx_process(Adapter* a);
// Builds the setup frame from the filter state and queues it (or marks it pending).
void r83drv_queue_setup(Adapter* a);
// Sets phykind and phycaps from the MII (or the subsystem ID without a PHY).
void r83drv_detect_phy(Adapter* a);
// Brings CSR6 in step with the PHY or SIA media; -1 (lasterror) when the chip
// would not stop for a duplex or threshold change.
int32_t r83drv_link_update(Adapter* a);
// Writes CSR6 = value until the processes in stateMask of CSR5 have stopped;
// false after R83_WAIT_MICROS.
bool r83drv_wait_stopped(Adapter* a, uint32_t value, uint32_t stateMask);

// Index of a record in its array, or -1 for a pointer that is not one of its
// records (computed on addresses: a pointer difference would assume it is).
template <class Record>
inline int r83drv_slot(const Record* array, const Record* record, uint32_t count) {
  const uintptr_t offset = reinterpret_cast<uintptr_t>(record) - reinterpret_cast<uintptr_t>(array);
  if (offset % sizeof(Record) != 0 || offset / sizeof(Record) >= count) return -1;
  return static_cast<int>(offset / sizeof(Record));
}

inline uint32_t r83drv_csr_read(Adapter* a, uint32_t csr) { return host_mem_read(a, csr); }
inline void r83drv_csr_write(Adapter* a, uint32_t csr, uint32_t value) { host_mem_write(a, csr, value); }
