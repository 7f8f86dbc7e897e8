#pragma once
#include <cstdint>

struct Adapter;

// MII management frames (IEEE 802.3 clause 22), clocked bit by bit.
//
// The frame layer takes the bit functions; the binding below supplies the ones
// that drive the management clock and data line through CSR9.

// One clock cycle with the data line driven to bit (0 or 1).
typedef void (*MiiPutBitFn)(Adapter* adapter, int bit);
// One clock cycle with the data line released; returns the bit the PHY drives.
typedef int (*MiiGetBitFn)(Adapter* adapter);

// PHY address and register number are 5 bits each; only their low 5 bits are sent.
uint16_t mii_read(Adapter* adapter, int phy, int reg, MiiPutBitFn put, MiiGetBitFn get);
void mii_write(Adapter* adapter, int phy, int reg, uint16_t value, MiiPutBitFn put);

// CSR9 bits 16 (clock), 17 (data out), 18 (line released) and 19 (data in).
void csr9_mii_put_bit(Adapter* adapter, int bit);
int csr9_mii_get_bit(Adapter* adapter);

// The board's PHY sits at address 1; CSR9 is left at 0 after the frame.
uint16_t adapter_mii_read(Adapter* adapter, int reg);
void adapter_mii_write(Adapter* adapter, int reg, uint16_t value);
