#pragma once
#include <cstdint>

// Register and descriptor bits of the DEC 21143, shared by the chip's files.
namespace sim::dec21143 {

inline constexpr uint8_t kCapabilityOffset = 0xDC;  // power management capability
inline constexpr uint32_t kCfddSleep = 0x80000000;
inline constexpr uint32_t kCfddSnooze = 0x40000000;

// CSR0: bus mode. Bits 31:25 read as ones; bit 16 is reserved.
inline constexpr uint32_t kCsr0Reset = 0xFE000000;
inline constexpr uint32_t kCsr0Writable = 0x01FEFFFE;
inline constexpr uint32_t kCsr0SoftwareReset = 0x00000001;
inline constexpr int kCsr0SkipShift = 2;  // descriptor skip length, longwords (bits 6:2)

// CSR5: status. Events are cleared by writing one; the process states are read-only.
inline constexpr uint32_t kTi = 1u << 0;    // transmit interrupt
inline constexpr uint32_t kTps = 1u << 1;   // transmit process stopped
inline constexpr uint32_t kTu = 1u << 2;    // transmit buffer unavailable
inline constexpr uint32_t kTjt = 1u << 3;   // transmit jabber timeout
inline constexpr uint32_t kRi = 1u << 6;    // receive interrupt
inline constexpr uint32_t kRu = 1u << 7;    // receive buffer unavailable
inline constexpr uint32_t kRps = 1u << 8;   // receive process stopped
inline constexpr uint32_t kAis = 1u << 15;  // abnormal interrupt summary
inline constexpr uint32_t kFbe = 1u << 13;  // fatal bus error
inline constexpr uint32_t kNis = 1u << 16;  // normal interrupt summary
inline constexpr uint32_t kGpi = 1u << 26;  // general-purpose port interrupt (the PHY's)
inline constexpr uint32_t kCsr5Ones = 0xF0000000;
inline constexpr uint32_t kCsr5W1c = 0x0401FFFF;
inline constexpr uint32_t kNormalEvents = 0x00004045;    // TI, TU, RI, ERI
inline constexpr uint32_t kAbnormalEvents = 0x04003FBA;  // TPS, TJT, LNP, UNF, RU, RPS, RWT, ETI, GTE, LNF, FBE, GPI
inline constexpr uint32_t kRsWaiting = 3;    // receive: running, waiting for a frame
inline constexpr uint32_t kRsSuspended = 4;  // receive: suspended, no buffer
inline constexpr uint32_t kTsFetching = 1;   // transmit: running, fetching a descriptor
inline constexpr uint32_t kTsSuspended = 6;  // transmit: suspended
inline constexpr uint32_t kEbMasterAbort = 1;  // error bits: the bus error was a master abort

// CSR6: operation mode. Bits 29, 28 and 25 read as ones; 27, 26, 20, 16 and 8
// are reserved; the filtering mode (HP, HO, IF) changes only with a setup frame.
inline constexpr uint32_t kCsr6Reset = 0x32000040;
inline constexpr uint32_t kCsr6Ones = 0x32000000;
inline constexpr uint32_t kCsr6Writable = 0xC1EEFEEA;
inline constexpr uint32_t kCsr6HashPerfect = 1u << 0;
inline constexpr uint32_t kCsr6StartRx = 1u << 1;
inline constexpr uint32_t kCsr6HashOnly = 1u << 2;
inline constexpr uint32_t kCsr6PassBad = 1u << 3;
inline constexpr uint32_t kCsr6Inverse = 1u << 4;
inline constexpr uint32_t kCsr6Filter = kCsr6HashPerfect | kCsr6HashOnly | kCsr6Inverse;
inline constexpr uint32_t kCsr6Promiscuous = 1u << 6;
inline constexpr uint32_t kCsr6PassAllMulticast = 1u << 7;
inline constexpr uint32_t kCsr6FullDuplex = 1u << 9;
inline constexpr int kCsr6ModeShift = 10;  // operating mode, bits 11:10
inline constexpr uint32_t kCsr6StartTx = 1u << 13;
inline constexpr uint32_t kCsr6PortSelect = 1u << 18;  // 1: MII port, 0: the SIA
inline constexpr uint32_t kCsr6ReceiveAll = 1u << 30;
inline constexpr uint32_t kModeInternalLoopback = 1;
inline constexpr uint32_t kModeExternalLoopback = 2;

inline constexpr uint32_t kCsr7Writable = 0x0C01FFFF;
inline constexpr uint32_t kCsr7Ones = 0xF3FE0000;
inline constexpr uint32_t kCsr8Ones = 0xE0000000;
inline constexpr uint32_t kCsr8Overflow = 0x00010000;
inline constexpr uint32_t kCsr11Reset = 0xFFFE0000;
inline constexpr uint32_t kCsr12 = 0x000000C6;
inline constexpr uint32_t kCsr15Reset = 0x8FF00000;

// Descriptors: word 0 status, word 1 control, words 2 and 3 addresses.
inline constexpr uint32_t kOwn = 0x80000000;
inline constexpr uint32_t kDesIc = 1u << 31;
inline constexpr uint32_t kDesLs = 1u << 30;
inline constexpr uint32_t kDesFs = 1u << 29;
inline constexpr uint32_t kDesFt1 = 1u << 28;
inline constexpr uint32_t kDesSet = 1u << 27;
inline constexpr uint32_t kDesEndOfRing = 1u << 25;  // TER / RER
inline constexpr uint32_t kDesChained = 1u << 24;    // TCH / RCH
inline constexpr uint32_t kDesNoPadding = 1u << 23;
inline constexpr uint32_t kDesFt0 = 1u << 22;
inline constexpr uint32_t kSize1Mask = 0x7FF;
inline constexpr int kSize2Shift = 11;

inline constexpr uint32_t kTdesDone = 0x7FFFFFFF;  // setup and empty descriptors
inline constexpr uint32_t kTdesErrorSummary = 1u << 15;
inline constexpr uint32_t kTdesJabber = 1u << 14;
inline constexpr uint32_t kTdesLossOfCarrier = 1u << 11;
inline constexpr uint32_t kTdesNoCarrier = 1u << 10;

inline constexpr uint32_t kRdesFilterFail = 1u << 30;
inline constexpr int kRdesLengthShift = 16;
inline constexpr uint32_t kRdesErrorSummary = 1u << 15;
inline constexpr uint32_t kRdesDescriptorError = 1u << 14;
inline constexpr int kRdesTypeShift = 12;
inline constexpr uint32_t kRdesRunt = 1u << 11;
inline constexpr uint32_t kRdesMulticast = 1u << 10;
inline constexpr uint32_t kRdesFs = 1u << 9;
inline constexpr uint32_t kRdesLs = 1u << 8;
inline constexpr uint32_t kRdesTooLong = 1u << 7;
inline constexpr uint32_t kRdesFrameType = 1u << 5;
inline constexpr uint32_t kRdesCrcError = 1u << 1;

}  // namespace sim::dec21143
