#pragma once
#include <cstdint>

class PCI_System;

// The packet engine's per-controller record and the host-side descriptor
// records. The chip and the engine share the descriptors in DMA memory; the
// host-side records only point at them. `new Adapter` gives a zeroed record.

struct Adapter;

// Chip transmit descriptor: four little-endian longwords, 16-byte aligned.
struct TxChipDesc {
  uint32_t tdes0;  // OWN (bit 31), completion status
  uint32_t tdes1;  // control bits and buffer sizes
  uint32_t tdes2;  // buffer-1 physical address
  uint32_t tdes3;  // buffer-2 physical address
};

// Chip receive descriptor (chained mode).
struct RxChipDesc {
  uint32_t rdes0;  // OWN (bit 31), frame length (29..16), status
  uint32_t rdes1;  // RCH (bit 24), buffer-1 size
  uint32_t rdes2;  // buffer physical address
  uint32_t rdes3;  // physical address of the next descriptor
};

// Host-side record of one transmit descriptor; the records form a ring.
struct TxDesc {
  TxDesc* next = nullptr;  // the last record points to the first
  uint32_t bufphys = 0;    // physical address of buffer 1
  uint32_t bufphys2 = 0;   // physical address of buffer 2 (0)
  uint32_t len = 0;        // bytes in buffer 1
  uint32_t len2 = 0;       // bytes in buffer 2 (0)
  uint8_t* buf = nullptr;  // the 1518-byte frame buffer
  // The chip changes the descriptor behind the compiler's back.
  volatile TxChipDesc* hw = nullptr;
  uint32_t hwphys = 0;     // physical address of the chip descriptor
  int32_t status = 0;      // completion: 0 sent, -1 failed, 2 aborted
};

// Host-side record of one receive descriptor.
struct RxDesc {
  RxDesc* next = nullptr;
  uint32_t bufphys = 0;
  uint32_t len = 0;        // received frame length without its CRC
  uint8_t* buf = nullptr;  // the 1518-byte frame buffer
  volatile RxChipDesc* hw = nullptr;
  uint32_t hwphys = 0;
};

// Operation types of the table. Results that can fail are 0 / -1; on -1 the
// record's `lasterror` names the reason.
typedef int32_t (*R83StartFn)(Adapter* a);
typedef uint16_t (*R83SelftestFn)(Adapter* a);
typedef TxDesc* (*R83TxReserveFn)(Adapter* a, uint32_t* count);
typedef void (*R83TxSendFn)(Adapter* a, TxDesc* first, uint32_t count);
typedef void (*R83RxReturnFn)(Adapter* a, RxDesc* rd);
typedef bool (*R83IrqPendingFn)(Adapter* a);
typedef int32_t (*R83ServiceFn)(Adapter* a);
typedef void (*R83VoidFn)(Adapter* a);
typedef int32_t (*R83SetMediaFn)(Adapter* a, int port, uint32_t type);
typedef uint32_t (*R83GetMediaFn)(Adapter* a, int port);
typedef bool (*R83GetLinkFn)(Adapter* a, int port);
typedef uint32_t (*R83GetCounterFn)(Adapter* a, int port, uint32_t index);
typedef uint32_t (*R83GetFilterFn)(Adapter* a, int port);
typedef void (*R83SetFilterFn)(Adapter* a, int port, uint32_t flags);
typedef void (*R83GetAddressFn)(Adapter* a, int port, uint8_t* out);
typedef void (*R83SetAddressFn)(Adapter* a, int port, const uint8_t* address);
typedef void (*R83GetMulticastFn)(Adapter* a, int port, uint32_t capacity, uint32_t* count, uint8_t* out);
typedef void (*R83SetMulticastFn)(Adapter* a, int port, uint32_t count, const uint8_t* addresses);
typedef void (*R83EmptySlotFn)(void);

struct Adapter {
  // Host cache-line size in bytes (32, 64 or 128; anything else: not given).
  uint32_t cachelinesize = 0;

  // ---- Operations, in slot order (25 slots; the empty ones stay null) ----
  R83StartFn start = nullptr;
  R83SelftestFn selftest = nullptr;
  R83TxReserveFn tx_reserve = nullptr;
  R83TxSendFn tx_send = nullptr;
  R83RxReturnFn rx_return = nullptr;
  R83IrqPendingFn irq_pending = nullptr;
  R83ServiceFn service = nullptr;
  R83VoidFn irq_enable = nullptr;
  R83VoidFn irq_disable = nullptr;
  R83VoidFn tx_poll = nullptr;
  R83SetMediaFn set_media = nullptr;
  R83GetMediaFn get_media = nullptr;
  R83GetLinkFn get_link = nullptr;
  R83GetCounterFn get_counter = nullptr;
  R83GetFilterFn get_filter = nullptr;
  R83SetFilterFn set_filter = nullptr;
  R83GetAddressFn get_address = nullptr;
  R83SetAddressFn set_address = nullptr;
  R83EmptySlotFn unused18 = nullptr;
  R83GetMulticastFn get_multicast = nullptr;
  R83SetMulticastFn set_multicast = nullptr;
  R83EmptySlotFn unused21 = nullptr;
  R83EmptySlotFn unused22 = nullptr;
  R83VoidFn shutdown = nullptr;
  R83VoidFn close = nullptr;

  // ---- Host link and the hooks' state ----
  PCI_System* host = nullptr;  // the PCI system object
  uint32_t dmaused = 0;        // DMA carve position, reset before every init
  RxDesc* rxready = nullptr;   // received frames waiting for the consumer

  // ---- Statistics (never reset by the engine) ----
  uint64_t txbytes = 0;
  uint64_t rxbytes = 0;
  uint32_t rxframes = 0;
  uint32_t txframes = 0;
  uint32_t txerrors = 0;
  uint32_t deferred = 0;
  uint32_t collisions = 0;
  uint32_t excesscoll = 0;
  uint32_t carrier = 0;
  uint32_t underflows = 0;
  uint32_t rxerrors = 0;
  uint32_t missed = 0;
  uint32_t dribble = 0;
  uint32_t crcerrors = 0;

  // ---- Transmit ring ----
  TxDesc* txnext = nullptr;    // next record tx_reserve hands out
  TxDesc* txlast = nullptr;    // oldest record given to the chip, not yet reclaimed
  uint32_t txfree = 0;         // records that may still be reserved
  bool reclaiming = false;     // re-entry guard of the transmit reclaim
  bool filterpending = false;  // a setup frame waits for the next reclaim
  TxDesc* td = nullptr;        // tdcount records
  uint32_t tdcount = 0;

  // ---- Receive chain ----
  RxDesc* rxhead = nullptr;    // next record to examine
  RxDesc* rxtail = nullptr;    // host-owned end marker of the chain
  RxDesc* rd = nullptr;        // rdcount records
  uint32_t rdcount = 0;

  // ---- Descriptor area: transmit descriptors, receive descriptors, setup buffer ----
  uint8_t* desvirt = nullptr;
  uint32_t desphys = 0;
  uint32_t dessize = 0;
  void* dmacontext = nullptr;  // handed unchanged to host_dma_alloc/host_dma_free

  // ---- Address filter ----
  uint32_t filter = 0;           // R83_FILTER_* flags
  uint8_t stationaddr[6] = {};   // transmission order
  uint32_t mcaddrs = 0;          // entries of mclist in use, 0 to 32
  uint8_t mclist[32][6] = {};

  // ---- Chip and media ----
  uint32_t busmode = 0;   // CSR0 value
  uint32_t opmode = 0;    // CSR6 value
  uint32_t siamedia = 0;  // connection type of a PHY-less board
  bool starting = false;  // start is running
  uint32_t phycaps = 0;   // 0x20 10BASE-T, 0x40 10 FD, 0x80 100BASE-TX, 0x100 100 FD
  uint32_t phykind = 0;   // 1 or 2 without an MII PHY, else the PHY identifier

  // ---- Beyond the classic record ----
  // Reason of the last failing operation (a literal), null when none failed.
  const char* lasterror = nullptr;
  // Receive descriptors that did not hold a whole frame (a frame spread over
  // several descriptors, or a length that cannot be one buffer's); discarded.
  uint32_t rxdiscards = 0;
};
