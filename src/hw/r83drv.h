#pragma once
#include <cstdint>

#include "hw/adapter.h"

// r83drv: the polled packet engine for the DEC 21143.
//
// r83drv_init fills the record's operation table, lays out the rings in DMA
// memory, detects the PHY and prepares CSR0/CSR6; `start` then programs the
// chip. Every operation takes the record first and is normally called through
// the table (a->start(a) ...). Nothing runs on interrupts: `service` must be
// called to reclaim transmissions and collect received frames, which the host
// hooks queue on a->rxready.
//
// Operations that wait for the chip or the PHY bound every wait; when one
// runs out they answer -1 and leave the reason in a->lasterror.

// Every frame buffer holds one full-size frame with its CRC.
constexpr uint32_t R83_BUFFER_SIZE = 1518;
// Largest frame a consumer is handed (one buffer without the CRC).
constexpr uint32_t R83_MAX_FRAME = 1514;
// The setup-frame buffer at the end of the descriptor area.
constexpr uint32_t R83_SETUP_SIZE = 192;
constexpr uint32_t R83_MAX_MULTICAST = 32;

// Filter flags (set_filter / get_filter).
constexpr uint32_t R83_FILTER_STATION = 0x01;    // frames to stationaddr
constexpr uint32_t R83_FILTER_BROADCAST = 0x02;  // broadcast frames
constexpr uint32_t R83_FILTER_MULTICAST = 0x04;  // frames to the mclist addresses
constexpr uint32_t R83_FILTER_ALLMULTI = 0x08;   // every multicast frame
constexpr uint32_t R83_FILTER_PROMISC = 0x10;    // every frame

// Connection types (set_media / get_media).
constexpr uint32_t R83_MEDIA_AUTO = 0;
constexpr uint32_t R83_MEDIA_10T = 1;
constexpr uint32_t R83_MEDIA_10T_FD = 2;
constexpr uint32_t R83_MEDIA_100TX = 3;
constexpr uint32_t R83_MEDIA_100TX_FD = 4;

// PHY kinds (phykind).
constexpr uint32_t R83_PHY_NONE_SUB5 = 1;  // no MII PHY, subsystem ID 5
constexpr uint32_t R83_PHY_NONE = 2;       // no MII PHY, any other subsystem ID
constexpr uint32_t R83_PHY_LXT970 = 0x78100000;
constexpr uint32_t R83_PHY_LXT971 = 0x001378E0;

// get_counter indexes.
constexpr uint32_t R83_COUNTER_TXFRAMES = 1;
constexpr uint32_t R83_COUNTER_RXFRAMES = 2;
constexpr uint32_t R83_COUNTER_TXERRORS = 3;
constexpr uint32_t R83_COUNTER_RXERRORS = 4;
constexpr uint32_t R83_COUNTER_MISSED = 5;
constexpr uint32_t R83_COUNTER_CRCERRORS = 6;
constexpr uint32_t R83_COUNTER_DRIBBLE = 7;
constexpr uint32_t R83_COUNTER_COLLISIONS = 8;
constexpr uint32_t R83_COUNTER_DEFERRED = 10;
constexpr uint32_t R83_COUNTER_EXCESSCOLL = 11;
constexpr uint32_t R83_COUNTER_UNDERFLOWS = 12;
constexpr uint32_t R83_COUNTER_CARRIER = 13;

// Transmit completion statuses (TxDesc::status, host_tx_done).
constexpr int32_t R83_TX_SENT = 0;
constexpr int32_t R83_TX_FAILED = -1;
constexpr int32_t R83_TX_ABORTED = 2;

// Prepares the adapter: rdcount receive and tdcount transmit descriptors;
// config is {CSR0, CSR6} (each 0, or a null config, for the engine default).
// 0, or the failing hook's result (-1) after releasing what was built. The
// caller resets a->dmaused and a->rxready beforehand.
int32_t r83drv_init(Adapter* a, uint32_t rdcount, uint32_t tdcount, const uint32_t* config);

// ---- Operations (the functions the table holds) ----

// Resets and programs the chip, reloads the filter, starts transmit and
// receive and updates the link. -1 (lasterror set) when the chip does not take
// its mode values, the PHY does not finish its reset, or the setup frame is
// not completed, each within one second, or when the link update fails.
int32_t r83drv_start(Adapter* a);
// The built-in board check of an LXT970 board; 0, or the first failure code.
uint16_t r83drv_selftest(Adapter* a);
// Reserves up to *count records (lowered to the number granted); null with 0
// when none is free. Fill buf/len of each, then tx_send them at once.
TxDesc* r83drv_tx_reserve(Adapter* a, uint32_t* count);
void r83drv_tx_send(Adapter* a, TxDesc* first, uint32_t count);
// Puts a received record back at the end of the receive chain.
void r83drv_rx_return(Adapter* a, RxDesc* rd);
bool r83drv_irq_pending(Adapter* a);
// Handles everything CSR5 reports. -1 (lasterror set) when a transmit
// underflow or a duplex change could not stop the chip within one second.
int32_t r83drv_service(Adapter* a);
void r83drv_irq_enable(Adapter* a);
void r83drv_irq_disable(Adapter* a);
void r83drv_tx_poll(Adapter* a);
// -1 (lasterror set) when the link update could not stop the chip.
int32_t r83drv_set_media(Adapter* a, int port, uint32_t type);
uint32_t r83drv_get_media(Adapter* a, int port);
bool r83drv_get_link(Adapter* a, int port);
uint32_t r83drv_get_counter(Adapter* a, int port, uint32_t index);
uint32_t r83drv_get_filter(Adapter* a, int port);
void r83drv_set_filter(Adapter* a, int port, uint32_t flags);
void r83drv_get_address(Adapter* a, int port, uint8_t* out);
void r83drv_set_address(Adapter* a, int port, const uint8_t* address);
void r83drv_get_multicast(Adapter* a, int port, uint32_t capacity, uint32_t* count, uint8_t* out);
// port must be 0 and count at most 32.
void r83drv_set_multicast(Adapter* a, int port, uint32_t count, const uint8_t* addresses);
// Chip and PHY reset.
void r83drv_shutdown(Adapter* a);
// Releases the rings; safe on a partly built or already closed adapter.
void r83drv_close(Adapter* a);
