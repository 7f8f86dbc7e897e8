#pragma once
#include <cstdint>

class DEC21143_Card;
class PCI_System;

// The board tests the R51 and R83 share, with what differs between the models.
// Each answers null on a pass or the failure text, valid until the same test
// runs again.

struct AdapterModelTests {
  uint32_t cfcsReservedBits;           // CFCS bits that must read 0
  const uint32_t* readOnlyConfigMask;  // 64 dwords of configuration space
  bool r83;  // the R83's extra loopback steps (CFDD cleared, SIA port set up)
};

// "Configuration Reads", ... "PHY Loopback": the same list on both models.
extern const char* const kAdapterBoardTestNames[];

// Runs board test `index` of the list; "Unknown test!" outside it.
const char* RunAdapterBoardTest(DEC21143_Card& card, const AdapterModelTests& model, int index);

// The identification, command/status, class, BAR, ROM, interrupt and CFDD
// fields of configuration space.
const char* CheckAdapterConfiguration(PCI_System* system, uint32_t cfcsReservedBits);

// Sends one 256-byte frame through the controller with the operating mode
// (CSR6 bits 11:10) and PHY control value given, compares what comes back, then
// checks that no descriptor is touched while bus mastering is off. Takes over
// the controller and the start of the DMA block.
const char* RunAdapterLoopback(DEC21143_Card& card, bool r83, uint32_t operatingMode, uint16_t phyControl);

// Clears and sets the bus-master bit of CFCS 200 times, checking each write.
const char* RunBusMasterBitFlip(PCI_System* system);
