#include "pci/engine_hooks.h"

#include <cstdlib>

#include "hw/adapter.h"
#include "pci/pci_system.h"

namespace {

constexpr uint32_t kFrameBuffer = 1518;  // a full-size frame with its CRC
constexpr uint32_t kCarveAlign = 32;

}  // namespace

void host_free(Adapter* /*adapter*/, void* block, int /*size*/) { std::free(block); }

int host_dma_alloc(Adapter* adapter, uint32_t size, uint32_t /*flags*/, void** virt, uint32_t* phys,
                   void* /*context*/) {
  PCI_System* system = adapter->host;
  if (uint64_t{adapter->dmaused} + size > system->dmaSize) return -1;
  *virt = system->dmaVirtual + adapter->dmaused;
  *phys = system->dmaPhysical + adapter->dmaused;
  const uint64_t end = uint64_t{adapter->dmaused} + size;
  adapter->dmaused = static_cast<uint32_t>((end + kCarveAlign - 1) & ~uint64_t{kCarveAlign - 1});
  return 0;
}

// Carved memory is never given back piece by piece.
void host_dma_free(Adapter*, uint32_t, uint32_t, void*, uint32_t, void*) {}

int host_txbuf_alloc(Adapter* adapter, TxDesc* td) {
  void* virt = nullptr;
  uint32_t phys = 0;
  const int r = host_dma_alloc(adapter, kFrameBuffer, 0, &virt, &phys, adapter->dmacontext);
  if (r != 0) return r;
  td->buf = static_cast<uint8_t*>(virt);
  td->bufphys = phys;
  return 0;
}

void host_txbuf_free(Adapter*, TxDesc*) {}

int host_rxbuf_alloc(Adapter* adapter, RxDesc* rd) {
  void* virt = nullptr;
  uint32_t phys = 0;
  const int r = host_dma_alloc(adapter, kFrameBuffer, 0, &virt, &phys, adapter->dmacontext);
  if (r != 0) return r;
  rd->buf = static_cast<uint8_t*>(virt);
  rd->bufphys = phys;
  return 0;
}

void host_rxbuf_free(Adapter*, RxDesc*) {}

void host_rx_indicate(Adapter* adapter, RxDesc* first, uint32_t count) {
  if (first == nullptr || count == 0) return;
  RxDesc** end = &adapter->rxready;
  while (*end != nullptr) end = &(*end)->next;
  *end = first;
  RxDesc* last = first;
  for (uint32_t i = 1; i < count; ++i) last = last->next;
  last->next = nullptr;
}

void host_tx_done(Adapter*, TxDesc*, int32_t) {}

void host_link_change(Adapter*, int, int) {}

uint64_t host_microseconds(Adapter* adapter) { return adapter->host->MonotonicMicroseconds(); }
