#pragma once
#include <cstdint>

struct Adapter;

// Serial EEPROM (93C46-style, 64 words of 16 bits) command protocol.
//
// The protocol layer builds the command frames and clocks them through a bit
// function; the binding below supplies the bit function that drives the lines
// through CSR9 of the controller.

// One full clock cycle with chip select = select and the EEPROM's data input =
// dataIn (each 0 or 1); returns the EEPROM's data output sampled in that cycle.
typedef int (*SromBitFn)(Adapter* adapter, int select, int dataIn);

// Word addresses are 0 to 63; higher bits are dropped so that a bad address can
// never turn a command into another one (a read into an erase).
uint16_t srom_read(Adapter* adapter, int address, SromBitFn bit);
void srom_write(Adapter* adapter, int address, uint16_t value, SromBitFn bit);
// enable nonzero sends write enable (EWEN), zero sends write disable (EWDS).
void srom_write_enable(Adapter* adapter, int enable, SromBitFn bit);
// Fills out[0..5] from words 42, 43 and 44, high byte of each word first.
void srom_read_station_address(Adapter* adapter, uint8_t* out, SromBitFn bit);

// The controller binding: the EEPROM lines are bits 0 (chip select), 1 (clock),
// 2 (data in) and 3 (data out) of CSR9, with the serial-ROM path selected.
int csr9_srom_bit(Adapter* adapter, int select, int dataIn);
uint16_t adapter_srom_read(Adapter* adapter, int address);
void adapter_srom_write(Adapter* adapter, int address, uint16_t value);
void adapter_srom_write_enable(Adapter* adapter, int enable);
void adapter_read_station_address(Adapter* adapter, uint8_t* out);
