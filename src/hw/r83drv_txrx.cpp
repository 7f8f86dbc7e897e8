// The packet engine's data path: transmit reservation, sending and reclaim,
// receive processing and buffer return, the status service and the counters.
#include <cstdint>

#include "hw/mii.h"
#include "hw/r83drv.h"
#include "hw/r83drv_assert.h"
#include "hw/r83drv_internal.h"
#include "hw/r83drv_regs.h"

using namespace r83;

namespace {

constexpr uint32_t kIrqMask = 0x0401B2FD;
// Passes of one service call; under a constant stream of events the rest waits
// for the next call instead of holding the caller for ever.
constexpr int kServicePasses = 32;

TxDesc* advance(Adapter* a, TxDesc* td, uint32_t count) {
  const uint32_t index = static_cast<uint32_t>(td - a->td);
  return &a->td[(index + count) % a->tdcount];
}

void count_tx(Adapter* a, TxDesc* td) {
  const uint32_t s = td->hw->tdes0;
  if (s & TDES0_ES) {
    a->txerrors += 1;
    if (s == TDES0_ABANDONED) {
      td->status = R83_TX_ABORTED;
      return;
    }
    if (s & TDES0_CARRIER) a->carrier += 1;
    if (s & TDES0_EC) a->excesscoll += 1;
    if (s & TDES0_UF) a->underflows += 1;
    td->status = R83_TX_FAILED;
    return;
  }
  a->txframes += 1;
  a->txbytes += uint64_t{td->len} + td->len2;
  if (s & TDES0_DE) a->deferred += 1;
  if (s & TDES0_CC) a->collisions += 1;
  td->status = R83_TX_SENT;
}

// What a completed receive descriptor holds.
enum class RxVerdict { Good, Error, Fragment, FragmentEnd, BadLength };

RxVerdict classify(uint32_t s) {
  const uint32_t ends = s & (RDES0_FS | RDES0_LS);
  // A frame spread over several descriptors: every piece goes back; the frame
  // counts once, with its last piece.
  if (ends != (RDES0_FS | RDES0_LS)) return (s & RDES0_LS) ? RxVerdict::FragmentEnd : RxVerdict::Fragment;
  if (s & RDES0_ES) return RxVerdict::Error;
  const uint32_t fl = (s >> RDES0_FL_SHIFT) & RDES0_FL_MASK;
  if (fl < 4 || fl > R83_BUFFER_SIZE) return RxVerdict::BadLength;
  return RxVerdict::Good;
}

void count_rx_failure(Adapter* a, RxVerdict verdict, uint32_t s) {
  switch (verdict) {
    case RxVerdict::Error:
      a->rxerrors += 1;
      if (s & RDES0_DB) a->dribble += 1;
      if (s & RDES0_CE) a->crcerrors += 1;
      break;
    case RxVerdict::FragmentEnd:
    case RxVerdict::BadLength:
      a->rxerrors += 1;
      a->rxdiscards += 1;
      break;
    default:
      break;
  }
}

// Stops transmission for a threshold change and steps the threshold up, or
// switches to store and forward once it is at its top.
int32_t handle_underflow(Adapter* a) {
  uint32_t v = r83drv_csr_read(a, CSR6);
  if (!r83drv_wait_stopped(a, v & ~CSR6_ST, CSR5_TX_STATE)) {
    r83drv_csr_write(a, CSR6, v);  // carry on at the old threshold
    a->lasterror = "DEC 21143 transmit process does not stop";
    return -1;
  }
  if ((v & CSR6_TR) == CSR6_TR) {
    v |= CSR6_SF;
  } else {
    v += CSR6_TR_STEP;
  }
  r83drv_csr_write(a, CSR6, v & ~CSR6_ST);
  r83drv_csr_write(a, CSR6, v | CSR6_ST);
  r83drv_csr_write(a, CSR1, 0);
  return 0;
}

}  // namespace

void r83drv_check_ring(Adapter* a) {
  R83_ASSERT((a->tdcount - 1 - a->txfree) ==
             (((a->txnext - a->td) - (a->txlast - a->td) + a->tdcount) % a->tdcount));
  R83_ASSERT(a->txfree <= a->tdcount);
}

TxDesc* r83drv_tx_reserve(Adapter* a, uint32_t* count) {
  if (a->td == nullptr) {  // closed: nothing to hand out
    *count = 0;
    return nullptr;
  }
  if (a->txfree == 0) {
    r83drv_tx_reclaim(a);
    if (a->txfree == 0) {
      *count = 0;
      return nullptr;
    }
  }
  r83drv_check_ring(a);
  if (*count > a->txfree) *count = a->txfree;
  TxDesc* first = a->txnext;
  a->txnext = advance(a, first, *count);
  a->txfree -= *count;
  r83drv_check_ring(a);
  return first;
}

void r83drv_tx_send(Adapter* a, TxDesc* first, uint32_t count) {
  TxDesc* td = first;
  for (uint32_t n = 0; n < count; ++n, td = td->next) {
    const int tdIndex = r83drv_slot(a->td, td, a->tdcount);
    R83_ASSERT(tdIndex >= 0 && tdIndex < (int)a->tdcount);
    R83_ASSERT((td->hw->tdes0 & 0x80000000) == 0);
    // One buffer per frame: anything longer would make the chip read past it.
    R83_ASSERT(td->len <= R83_BUFFER_SIZE && td->len2 == 0);
    const uint32_t index = static_cast<uint32_t>(tdIndex);
    uint32_t tdes1 = td->len | TDES1_FS | TDES1_LS | (td->len2 << 11);
    if (index == a->tdcount - 1) {
      tdes1 |= TDES1_IC | TDES1_TER;
    } else if (index == a->tdcount / 2 - 1) {
      tdes1 |= TDES1_IC;
    }
    td->hw->tdes1 = tdes1;
    td->hw->tdes2 = td->bufphys;
    td->hw->tdes3 = td->bufphys2;
    td->hw->tdes0 = OWN;  // last: the chip may take it from here on
  }
  r83drv_csr_write(a, CSR1, 0);
}

void r83drv_tx_reclaim(Adapter* a) {
  if (a->td == nullptr) return;  // a service call after close finds no ring
  r83drv_check_ring(a);
  if (a->reclaiming) return;
  a->reclaiming = true;

  TxDesc* cur = a->txlast;
  int count = 0;
  while (cur != a->txnext) {
    // Setup and empty descriptors complete as a whole 0x7FFFFFFF.
    while (cur != a->txnext && cur->hw->tdes0 == TDES0_DONE) {
      TxDesc* td = cur;
      R83_ASSERT(!(td->hw->tdes1 & 0x20000000));
      R83_ASSERT(!(td->hw->tdes1 & 0x40000000));
      ++count;
      cur = cur->next;
    }
    TxDesc* first = cur;
    while (cur != a->txnext && cur->hw->tdes0 < TDES0_DONE) {
      TxDesc* td = cur;
      R83_ASSERT(td->hw->tdes1 & 0x20000000);
      R83_ASSERT(td->hw->tdes1 & 0x40000000);
      count_tx(a, td);
      ++count;
      cur = cur->next;
    }
    for (TxDesc* td = first; td != cur; td = td->next) host_tx_done(a, td, td->status);
    // Only a setup completion after the data frames goes on; OWN means the chip is still busy.
    if (cur == a->txnext || (cur->hw->tdes0 & OWN)) break;
  }

  a->txlast = cur;
  a->txfree += static_cast<uint32_t>(count);
  a->reclaiming = false;
  R83_ASSERT((int)a->txfree >= count);
  R83_ASSERT(a->txfree <= a->tdcount);
  r83drv_check_ring(a);

  if (a->filterpending) {
    a->filterpending = false;
    r83drv_queue_setup(a);
  }
}

void r83drv_rx_process(Adapter* a) {
  if (a->rd == nullptr) return;
  for (;;) {
    RxDesc* first = a->rxhead;
    RxDesc* cur = first;
    uint32_t n = 0;
    RxDesc* failed = nullptr;
    RxVerdict verdict = RxVerdict::Good;
    uint32_t s = 0;
    while (cur != a->rxtail) {
      s = cur->hw->rdes0;
      if (s & OWN) break;
      verdict = classify(s);
      if (verdict != RxVerdict::Good) {
        failed = cur;
        break;
      }
      cur->len = ((s >> RDES0_FL_SHIFT) & RDES0_FL_MASK) - 4;
      a->rxbytes += cur->len;
      ++n;
      cur = cur->next;
    }
    a->rxframes += n;
    if (failed == nullptr) {
      a->rxhead = cur;
      if (n > 0) host_rx_indicate(a, first, n);
      return;
    }
    // The failed buffer goes straight back to the chain, never to the consumer.
    count_rx_failure(a, verdict, s);
    a->rxhead = failed->next;
    if (n > 0) host_rx_indicate(a, first, n);
    r83drv_rx_return(a, failed);
  }
}

void r83drv_rx_return(Adapter* a, RxDesc* rd) {
  const int rdIndex = r83drv_slot(a->rd, rd, a->rdcount);
  R83_ASSERT(rdIndex >= 0 && rdIndex < (int)a->rdcount);
  R83_ASSERT(rd != a->rxtail);  // the end marker is in the chain already
  RxDesc* rl = a->rxtail;
  rl->hw->rdes3 = rd->hwphys;
  rl->next = rd;
  R83_ASSERT(!(rl->hw->rdes0 & 0x80000000));
  rd->hw->rdes2 = rd->bufphys;
  rl->hw->rdes0 = OWN;
  a->rxtail = rd;
}

int32_t r83drv_service(Adapter* a) {
  int32_t result = 0;
  uint32_t s = r83drv_csr_read(a, CSR5);
  for (int pass = 0; pass < kServicePasses; ++pass) {
    r83drv_csr_write(a, CSR5, s);
    if (s & CSR5_RI) r83drv_rx_process(a);
    if (s & (CSR5_TI | CSR5_TU)) r83drv_tx_reclaim(a);
    if (s & CSR5_EXTRA) {
      if (s & CSR5_GPI) {
        // The reads clear the PHY's latched status and its interrupt.
        if (a->phykind == R83_PHY_LXT971) {
          adapter_mii_read(a, MII_BMSR);
          adapter_mii_read(a, 19);
        } else if (a->phykind == R83_PHY_LXT970) {
          adapter_mii_read(a, MII_BMSR);
          adapter_mii_read(a, 18);
        }
        if (r83drv_link_update(a) != 0) result = -1;
      }
      if ((s & (CSR5_LNF | CSR5_LNP)) && a->phykind == R83_PHY_NONE) {
        if (r83drv_link_update(a) != 0) result = -1;
      }
      if (s & CSR5_UNF) {
        if (handle_underflow(a) != 0) result = -1;
      }
      if (s & CSR5_RU) {
        const uint32_t m = r83drv_csr_read(a, CSR8);
        a->missed += (m & 0x00010000) ? 65536 : (m & 0xFFFF);
      }
    }
    s = r83drv_csr_read(a, CSR5);
    if (!(s & kIrqMask)) break;
  }
  return result;
}

bool r83drv_irq_pending(Adapter* a) { return (r83drv_csr_read(a, CSR5) & CSR5_SUMMARIES) != 0; }
void r83drv_irq_enable(Adapter* a) { r83drv_csr_write(a, CSR7, kIrqMask); }
void r83drv_irq_disable(Adapter* a) { r83drv_csr_write(a, CSR7, 0); }
void r83drv_tx_poll(Adapter* a) { r83drv_csr_write(a, CSR1, 0); }

uint32_t r83drv_get_counter(Adapter* a, int /*port*/, uint32_t index) {
  switch (index) {
    case R83_COUNTER_TXFRAMES: return a->txframes;
    case R83_COUNTER_RXFRAMES: return a->rxframes;
    case R83_COUNTER_TXERRORS: return a->txerrors;
    case R83_COUNTER_RXERRORS: return a->rxerrors;
    case R83_COUNTER_MISSED: return a->missed;
    case R83_COUNTER_CRCERRORS: return a->crcerrors;
    case R83_COUNTER_DRIBBLE: return a->dribble;
    case R83_COUNTER_COLLISIONS: return a->collisions;
    case R83_COUNTER_DEFERRED: return a->deferred;
    case R83_COUNTER_EXCESSCOLL: return a->excesscoll;
    case R83_COUNTER_UNDERFLOWS: return a->underflows;
    case R83_COUNTER_CARRIER: return a->carrier;
    default: return 0;
  }
}
