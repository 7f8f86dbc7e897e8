// The receive address filter: the 192-byte setup frame in perfect or hash form
// and the operations that change what goes into it.
#include <cstdint>
#include <cstring>

#include "hw/r83drv.h"
#include "hw/r83drv_assert.h"
#include "hw/r83drv_internal.h"
#include "hw/r83drv_regs.h"
#include "hw/srom_crc.h"

using namespace r83;

namespace {

constexpr uint32_t kSetupTdes1 = TDES1_SET | R83_SETUP_SIZE;  // 0x080000C0
constexpr uint32_t kHashOnly = TDES1_FT1 | TDES1_FT0;          // 0x10400000
constexpr uint32_t kHash = TDES1_FT0;                          // 0x00400000
constexpr uint32_t kPerfectEntries = 16;
constexpr uint32_t kPerfectMulticast = 14;  // entries 2 to 15
// In hash filtering the chip compares unicast frames with one perfect address.
constexpr int kHashPerfectLongword = 39;
constexpr uint8_t kBroadcast[6] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

void put_address(uint32_t* frame, int longword, const uint8_t* addr) {
  for (int i = 0; i < 3; ++i) frame[longword + i] = uint32_t{addr[2 * i]} | uint32_t{addr[2 * i + 1]} << 8;
}

void copy_entry(uint32_t* frame, uint32_t to, uint32_t from) {
  for (int i = 0; i < 3; ++i) frame[3 * to + i] = frame[3 * from + i];
}

void set_hash_bit(uint8_t* table, const uint8_t* addr) {
  const uint32_t bit = crc32_register(addr, 6) & 0x1FF;
  table[bit / 8] = static_cast<uint8_t>(table[bit / 8] | (1u << (bit % 8)));
}

bool last_record(const Adapter* a, const TxDesc* td) { return td == &a->td[a->tdcount - 1]; }

// Fills the frame and answers the filtering-type bits of the setup descriptor.
uint32_t build_frame(Adapter* a, uint32_t* frame) {
  R83_ASSERT(a->mcaddrs <= 32);
  uint32_t f = a->filter;
  if (a->mcaddrs == 0) f &= ~R83_FILTER_MULTICAST;
  if (!(f & (R83_FILTER_STATION | R83_FILTER_BROADCAST | R83_FILTER_MULTICAST))) {
    std::memset(frame, 0, R83_SETUP_SIZE);  // an empty hash table: nothing passes
    return kHashOnly;
  }

  const uint8_t* first = (f & R83_FILTER_STATION)     ? a->stationaddr
                         : (f & R83_FILTER_BROADCAST) ? kBroadcast
                                                      : a->mclist[0];
  put_address(frame, 0, first);
  if (f & R83_FILTER_BROADCAST) {
    put_address(frame, 3, kBroadcast);
  } else {
    copy_entry(frame, 1, 0);
  }

  if (!(f & R83_FILTER_MULTICAST)) {
    for (uint32_t e = 2; e < kPerfectEntries; ++e) copy_entry(frame, e, 0);
    return 0;
  }
  if (a->mcaddrs <= kPerfectMulticast) {
    for (uint32_t i = 0; i < a->mcaddrs; ++i) put_address(frame, 3 * static_cast<int>(2 + i), a->mclist[i]);
    for (uint32_t e = 2 + a->mcaddrs; e < kPerfectEntries; ++e) copy_entry(frame, e, 0);
    return 0;
  }

  uint8_t table[64] = {};
  for (uint32_t i = 0; i < a->mcaddrs; ++i) set_hash_bit(table, a->mclist[i]);
  // The table replaces the broadcast entry, and broadcast frames are hashed
  // like any multicast: keep them when they are wanted.
  if (f & R83_FILTER_BROADCAST) set_hash_bit(table, kBroadcast);
  for (int i = 0; i < 32; ++i) frame[i] = uint32_t{table[2 * i]} | uint32_t{table[2 * i + 1]} << 8;
  // Unicast frames pass only the one perfect address: the station (or
  // whatever entry 0 would have been), not what the buffer held before.
  put_address(frame, kHashPerfectLongword, first);
  return kHash;
}

}  // namespace

void r83drv_queue_setup(Adapter* a) {
  uint32_t csr6 = r83drv_csr_read(a, CSR6);
  csr6 = (a->filter & R83_FILTER_ALLMULTI) ? csr6 | CSR6_PM : csr6 & ~CSR6_PM;
  csr6 = (a->filter & R83_FILTER_PROMISC) ? csr6 | CSR6_PR : csr6 & ~CSR6_PR;
  r83drv_csr_write(a, CSR6, csr6);

  uint32_t count = 2;
  TxDesc* empty = r83drv_tx_reserve(a, &count);
  if (count == 0) {
    a->filterpending = true;
    return;
  }
  empty->hw->tdes1 = last_record(a, empty) ? TDES1_TER : 0;
  if (count == 1) {
    // The empty descriptor goes out alone; the frame follows after the next reclaim.
    empty->hw->tdes0 = OWN;
    r83drv_csr_write(a, CSR1, 0);
    a->filterpending = true;
    return;
  }

  TxDesc* setup = empty->next;
  uint32_t tdes1 = last_record(a, setup) ? kSetupTdes1 | TDES1_TER : kSetupTdes1;
  const uint32_t setupPhys = a->desphys + a->dessize - R83_SETUP_SIZE;
  uint8_t* buffer = a->desvirt + a->dessize - R83_SETUP_SIZE;

  // Work on a copy: in hash form the longwords past the table keep their contents.
  uint32_t frame[R83_SETUP_SIZE / 4];
  std::memcpy(frame, buffer, sizeof frame);
  tdes1 |= build_frame(a, frame);
  std::memcpy(buffer, frame, sizeof frame);

  setup->hw->tdes1 = tdes1;
  setup->hw->tdes2 = setupPhys;
  // The chip starts at the empty descriptor: both must be ready when it looks.
  setup->hw->tdes0 = OWN;
  empty->hw->tdes0 = OWN;
  r83drv_csr_write(a, CSR1, 0);
}

uint32_t r83drv_get_filter(Adapter* a, int /*port*/) { return a->filter; }

void r83drv_set_filter(Adapter* a, int /*port*/, uint32_t flags) {
  a->filter = flags;
  r83drv_queue_setup(a);
}

void r83drv_get_address(Adapter* a, int /*port*/, uint8_t* out) { std::memcpy(out, a->stationaddr, 6); }

void r83drv_set_address(Adapter* a, int /*port*/, const uint8_t* address) {
  std::memcpy(a->stationaddr, address, 6);
  r83drv_queue_setup(a);
}

void r83drv_get_multicast(Adapter* a, int /*port*/, uint32_t capacity, uint32_t* count, uint8_t* out) {
  *count = a->mcaddrs;
  if (a->mcaddrs > 0 && a->mcaddrs <= capacity) std::memcpy(out, a->mclist, 6 * a->mcaddrs);
}

void r83drv_set_multicast(Adapter* a, int port, uint32_t count, const uint8_t* addresses) {
  R83_ASSERT(port == 0);
  R83_ASSERT(count <= 32);
  a->mcaddrs = count;
  if (count > 0) std::memcpy(a->mclist, addresses, 6 * count);
  r83drv_queue_setup(a);
}
