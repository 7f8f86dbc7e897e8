#pragma once
#include <cstdint>

struct Adapter;
struct TxDesc;
struct RxDesc;

// Host hooks of the r83drv packet engine beyond the register, configuration,
// delay and heap access of sys_access.h. Frame and descriptor memory is carved
// from the PCI system's one contiguous DMA block and never handed back piece by
// piece: the carve position (a->dmaused) restarts when the card opens its
// engine. Received frames are queued on a->rxready for the consumer.

void host_free(Adapter* adapter, void* block, int size);

// Carves size bytes at a->dmaused; the position then moves on to the next
// 32-byte boundary. -1, with nothing changed, when the block cannot hold size.
int host_dma_alloc(Adapter* adapter, uint32_t size, uint32_t flags, void** virt, uint32_t* phys,
                   void* context);
void host_dma_free(Adapter* adapter, uint32_t size, uint32_t flags, void* virt, uint32_t phys,
                   void* context);

// One 1518-byte frame buffer for the record (buf and bufphys).
int host_txbuf_alloc(Adapter* adapter, TxDesc* td);
void host_txbuf_free(Adapter* adapter, TxDesc* td);
int host_rxbuf_alloc(Adapter* adapter, RxDesc* rd);
void host_rxbuf_free(Adapter* adapter, RxDesc* rd);

// Appends the count records that start at first (following next) to the end of
// a->rxready and ends the list after the last of them.
void host_rx_indicate(Adapter* adapter, RxDesc* first, uint32_t count);
// Completion of a transmit record: status 0 sent, -1 failed, 2 aborted.
void host_tx_done(Adapter* adapter, TxDesc* td, int32_t status);
void host_link_change(Adapter* adapter, int port, int up);

// Monotonic time of the PCI system in microseconds; bounds the engine's waits.
uint64_t host_microseconds(Adapter* adapter);
