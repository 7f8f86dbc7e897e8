// The packet engine's record set-up: the operation table, the rings in DMA
// memory, start, shutdown and close.
#include <cstdint>
#include <new>

#include "hw/mii.h"
#include "hw/r83drv.h"
#include "hw/r83drv_assert.h"
#include "hw/r83drv_internal.h"
#include "hw/r83drv_regs.h"
#include "hw/srom.h"

using namespace r83;

namespace {

constexpr uint32_t kDefaultBusMode = 0x01A02000;
constexpr uint32_t kDefaultOpMode = 0x020C0008;
// Port select and transmit threshold mode belong to the MII; a PHY-less board uses the SIA.
constexpr uint32_t kSiaOpModeMask = 0xFFBBFFFF;
constexpr uint32_t kCacheAlignment = 0x0000C000;
// Memory write and invalidate, read line, read multiple.
constexpr uint32_t kCacheCommandsOff = 0xFE5FFFFF;
constexpr uint32_t kRdes1Buffer = RDES1_RCH | R83_BUFFER_SIZE;  // 0x010005EE
// Ring sizes the engine can work with: the setup frame needs two records plus
// the one held back; the receive chain needs one record for the chip beside its
// end marker. The upper bound keeps the area sizes far from overflow.
constexpr uint32_t kMinTx = 3;
constexpr uint32_t kMinRx = 2;
constexpr uint32_t kMaxRing = 1024;

bool no_phy(const Adapter* a) { return a->phykind == R83_PHY_NONE_SUB5 || a->phykind == R83_PHY_NONE; }

void install_operations(Adapter* a) {
  a->start = r83drv_start;
  a->selftest = r83drv_selftest;
  a->tx_reserve = r83drv_tx_reserve;
  a->tx_send = r83drv_tx_send;
  a->rx_return = r83drv_rx_return;
  a->irq_pending = r83drv_irq_pending;
  a->service = r83drv_service;
  a->irq_enable = r83drv_irq_enable;
  a->irq_disable = r83drv_irq_disable;
  a->tx_poll = r83drv_tx_poll;
  a->set_media = r83drv_set_media;
  a->get_media = r83drv_get_media;
  a->get_link = r83drv_get_link;
  a->get_counter = r83drv_get_counter;
  a->get_filter = r83drv_get_filter;
  a->set_filter = r83drv_set_filter;
  a->get_address = r83drv_get_address;
  a->set_address = r83drv_set_address;
  a->get_multicast = r83drv_get_multicast;
  a->set_multicast = r83drv_set_multicast;
  a->shutdown = r83drv_shutdown;
  a->close = r83drv_close;
}

int32_t fail(Adapter* a, int32_t result, const char* reason) {
  a->lasterror = reason;
  r83drv_close(a);
  return result;
}

int32_t build_tx_ring(Adapter* a, uint32_t tdcount) {
  a->filterpending = false;
  a->tdcount = tdcount;
  void* block = nullptr;
  int r = host_alloc(a, static_cast<int>(sizeof(TxDesc) * tdcount), &block);
  if (r != 0) return fail(a, r, "no memory for the transmit records");
  a->td = static_cast<TxDesc*>(block);
  for (uint32_t i = 0; i < tdcount; ++i) new (&a->td[i]) TxDesc{};
  for (uint32_t i = 0; i < tdcount; ++i) {
    TxDesc* td = &a->td[i];
    td->hw = reinterpret_cast<volatile TxChipDesc*>(a->desvirt + 16 * i);
    td->hwphys = a->desphys + 16 * i;
    // The whole descriptor: the DMA block still holds whatever the last run left.
    td->hw->tdes0 = 0;
    td->hw->tdes1 = 0;
    td->hw->tdes2 = 0;
    td->hw->tdes3 = 0;
    td->next = i + 1 < tdcount ? &a->td[i + 1] : &a->td[0];
    r = host_txbuf_alloc(a, td);
    if (r != 0) return fail(a, r, "no DMA memory for the transmit buffers");
  }
  a->txnext = a->txlast = &a->td[0];
  a->txfree = tdcount - 1;
  return 0;
}

int32_t build_rx_chain(Adapter* a, uint32_t rdcount) {
  a->rdcount = rdcount;
  void* block = nullptr;
  int r = host_alloc(a, static_cast<int>(sizeof(RxDesc) * rdcount), &block);
  if (r != 0) return fail(a, r, "no memory for the receive records");
  a->rd = static_cast<RxDesc*>(block);
  for (uint32_t j = 0; j < rdcount; ++j) new (&a->rd[j]) RxDesc{};
  const uint32_t base = 16 * a->tdcount;
  for (uint32_t j = 0; j < rdcount; ++j) {
    RxDesc* rd = &a->rd[j];
    rd->hw = reinterpret_cast<volatile RxChipDesc*>(a->desvirt + base + 16 * j);
    rd->hwphys = a->desphys + base + 16 * j;
    r = host_rxbuf_alloc(a, rd);
    if (r != 0) return fail(a, r, "no DMA memory for the receive buffers");
    rd->hw->rdes0 = OWN;
    rd->hw->rdes1 = kRdes1Buffer;
    rd->hw->rdes2 = rd->bufphys;
    rd->hw->rdes3 = rd->hwphys + 16;
    rd->next = j + 1 < rdcount ? &a->rd[j + 1] : nullptr;
  }
  // The last record is the host's end marker; the chip stops in front of it.
  RxDesc* last = &a->rd[rdcount - 1];
  last->hw->rdes0 = 0;
  a->rxtail = last;
  a->rxhead = &a->rd[0];
  return 0;
}

void finish_modes(Adapter* a, const uint32_t* config) {
  a->busmode = config != nullptr && config[0] != 0 ? config[0] : kDefaultBusMode;
  a->opmode = config != nullptr && config[1] != 0 ? config[1] : kDefaultOpMode;
  if (no_phy(a)) a->opmode &= kSiaOpModeMask;
  a->busmode &= ~kCacheAlignment;
  switch (a->cachelinesize) {
    case 32: a->busmode |= 0x4000; break;
    case 64: a->busmode |= 0x8000; break;
    case 128: a->busmode |= 0xC000; break;
    default: a->busmode &= kCacheCommandsOff; break;
  }
}

// CSR0 and CSR6 as start wants them, the SIA set for the board.
bool program_modes(Adapter* a) {
  const R83Deadline d = r83drv_deadline(a, R83_WAIT_MICROS);
  for (;;) {
    host_delay(a, 100);
    r83drv_csr_write(a, CSR0, a->busmode);
    r83drv_csr_write(a, CSR6, a->opmode);
    if (a->phykind == R83_PHY_NONE_SUB5) {
      r83drv_csr_write(a, CSR13, 0);
      r83drv_csr_write(a, CSR14, 0x00000705);
      r83drv_csr_write(a, CSR15, 0x081E000E);
      r83drv_csr_write(a, CSR15, 0x000E000E);
      r83drv_csr_write(a, CSR13, 0x00000009);
    } else if (a->phykind == R83_PHY_NONE) {
      r83drv_csr_write(a, CSR13, 0);
      r83drv_csr_write(a, CSR14, a->siamedia == R83_MEDIA_10T_FD ? 0x00007F3D : 0x00007F3F);
      r83drv_csr_write(a, CSR15, 0x081E0008);
      r83drv_csr_write(a, CSR15, 0x000E0008);
      r83drv_csr_write(a, CSR13, 0x00000001);
    } else {
      r83drv_csr_write(a, CSR13, 0);
      r83drv_csr_write(a, CSR14, 0);
      r83drv_csr_write(a, CSR15, 0x090E0000);
      r83drv_csr_write(a, CSR15, 0x000E0000);
    }
    const uint32_t csr0 = r83drv_csr_read(a, CSR0);
    const uint32_t csr6 = r83drv_csr_read(a, CSR6);
    if ((csr0 & a->busmode) == a->busmode && (csr6 & a->opmode) == a->opmode) return true;
    if (r83drv_expired(a, d)) return false;
  }
}

// PHY reset and the vendor registers; false (lasterror set) when the PHY does not answer.
bool setup_phy(Adapter* a) {
  if (a->phykind == R83_PHY_LXT971) {
    adapter_mii_write(a, MII_BMCR, BMCR_RESET);
    const R83Deadline d = r83drv_deadline(a, R83_WAIT_MICROS);
    while (adapter_mii_read(a, MII_BMCR) & BMCR_RESET) {
      if (r83drv_expired(a, d)) {
        a->lasterror = "LXT971 PHY does not finish its reset";
        return false;
      }
      host_delay(a, R83_PHY_POLL_MICROS);
    }
    adapter_mii_write(a, 18, 0x0002);
    adapter_mii_write(a, 18, 0x00F2);
    const uint32_t subsystem = host_config_read(a, CSID) >> 16;
    adapter_mii_write(a, 20, subsystem == 0x0102 || subsystem == 0x0430 ? 0x0742 : 0x2142);
  } else if (a->phykind == R83_PHY_LXT970) {
    adapter_mii_write(a, MII_BMCR, BMCR_RESET);
    host_delay(a, 50);
    const R83Deadline d = r83drv_deadline(a, R83_WAIT_MICROS);
    for (;;) {
      adapter_mii_write(a, 17, 0x0002);
      if (adapter_mii_read(a, 17) == 0x0002) break;
      if (r83drv_expired(a, d)) {
        a->lasterror = "LXT970 PHY does not take its interrupt enable";
        return false;
      }
      host_delay(a, R83_PHY_POLL_MICROS);
    }
  }
  return true;
}

// Drops every frame still queued from before; reclaim reports them as aborted.
void abandon_queued(Adapter* a) {
  while (a->txnext != a->txlast) {
    for (TxDesc* td = a->txlast; td != a->txnext; td = td->next) {
      td->hw->tdes0 = (td->hw->tdes1 & TDES1_FS) ? TDES0_ABANDONED : TDES0_DONE;
    }
    r83drv_tx_reclaim(a);
  }
}

// Reclaims until the setup frame (and anything before it) is done.
bool drain_ring(Adapter* a) {
  const R83Deadline d = r83drv_deadline(a, R83_WAIT_MICROS);
  for (;;) {
    r83drv_tx_reclaim(a);
    if (a->txfree == a->tdcount - 1) return true;
    if (r83drv_expired(a, d)) return false;
    host_delay(a, R83_POLL_MICROS);
  }
}

int32_t stop_starting(Adapter* a, const char* reason) {
  a->lasterror = reason;
  a->starting = false;
  return -1;
}

}  // namespace

int32_t r83drv_init(Adapter* a, uint32_t rdcount, uint32_t tdcount, const uint32_t* config) {
  // Rings of an earlier run go first; their memory is carved afresh below.
  r83drv_close(a);
  a->lasterror = nullptr;
  a->starting = false;
  a->reclaiming = false;
  install_operations(a);
  if (tdcount < kMinTx || rdcount < kMinRx || tdcount > kMaxRing || rdcount > kMaxRing) {
    a->lasterror = "unusable descriptor counts";
    return -1;
  }
  host_config_write(a, CFDD, 0);  // out of sleep and snooze

  a->dessize = 16 * tdcount + 16 * rdcount + R83_SETUP_SIZE;
  void* virt = nullptr;
  uint32_t phys = 0;
  int r = host_dma_alloc(a, a->dessize, 0, &virt, &phys, a->dmacontext);
  if (r != 0) {
    a->lasterror = "no DMA memory for the descriptors";
    a->dessize = 0;
    return r;
  }
  a->desvirt = static_cast<uint8_t*>(virt);
  a->desphys = phys;

  r = build_tx_ring(a, tdcount);
  if (r != 0) return r;
  r = build_rx_chain(a, rdcount);
  if (r != 0) return r;

  const uintptr_t virtEnd = reinterpret_cast<uintptr_t>(a->rd[rdcount - 1].hw) + 16;
  const uint32_t physEnd = a->rd[rdcount - 1].hwphys + 16;
  R83_ASSERT(virtEnd - reinterpret_cast<uintptr_t>(a->desvirt) == a->dessize - 192);
  R83_ASSERT(physEnd - a->desphys == a->dessize - 192);

  host_config_write(a, CFCS, host_config_read(a, CFCS) | 0x6);  // memory space, bus master
  r83drv_detect_phy(a);
  finish_modes(a, config);
  adapter_read_station_address(a, a->stationaddr);
  return 0;
}

int32_t r83drv_start(Adapter* a) {
  if (a->starting) return 0;
  a->starting = true;
  a->lasterror = nullptr;

  r83drv_csr_write(a, CSR6, no_phy(a) ? 0x02000000 : 0x02040000);
  r83drv_csr_write(a, CSR0, CSR0_RESET);
  if (!program_modes(a)) return stop_starting(a, "DEC 21143 does not take its bus and operation modes");
  if (!setup_phy(a)) return stop_starting(a, a->lasterror);

  abandon_queued(a);
  R83_ASSERT(a->txfree == a->tdcount-1);
  a->txnext = a->txlast = &a->td[0];
  r83drv_csr_write(a, CSR4, a->td[0].hwphys);
  r83drv_csr_write(a, CSR6, r83drv_csr_read(a, CSR6) | CSR6_ST);

  r83drv_queue_setup(a);
  if (!drain_ring(a)) return stop_starting(a, "DEC 21143 does not complete the setup frame");

  // Completed records before the end marker still wait for receive processing.
  RxDesc* rd = a->rxhead;
  while (rd != a->rxtail && !(rd->hw->rdes0 & OWN)) rd = rd->next;
  r83drv_csr_write(a, CSR3, rd->hwphys);
  r83drv_csr_write(a, CSR6, r83drv_csr_read(a, CSR6) | CSR6_SR);

  a->starting = false;
  host_delay(a, 1500000);
  return r83drv_link_update(a);
}

void r83drv_shutdown(Adapter* a) {
  r83drv_csr_write(a, CSR0, CSR0_RESET);
  host_delay(a, 1);
  adapter_mii_write(a, MII_BMCR, BMCR_RESET);
}

void r83drv_close(Adapter* a) {
  if (a->desvirt != nullptr) {
    host_dma_free(a, a->dessize, 0, a->desvirt, a->desphys, a->dmacontext);
    a->desvirt = nullptr;
    a->desphys = 0;
    a->dessize = 0;
  }
  if (a->td != nullptr) {
    for (uint32_t i = 0; i < a->tdcount; ++i) host_txbuf_free(a, &a->td[i]);
    host_free(a, a->td, static_cast<int>(sizeof(TxDesc) * a->tdcount));
    a->td = nullptr;
  }
  if (a->rd != nullptr) {
    for (uint32_t j = 0; j < a->rdcount; ++j) host_rxbuf_free(a, &a->rd[j]);
    host_free(a, a->rd, static_cast<int>(sizeof(RxDesc) * a->rdcount));
    a->rd = nullptr;
  }
  // Nothing may point into the released records any more.
  a->txnext = a->txlast = nullptr;
  a->txfree = 0;
  a->tdcount = 0;
  a->rxhead = a->rxtail = nullptr;
  a->rdcount = 0;
  a->rxready = nullptr;
  a->filterpending = false;
}
