#pragma once
#include <cstdint>

// DEC 21143 registers and descriptor bits as the packet engine uses them.
namespace r83 {

// CSRs: byte offsets in the register window.
constexpr uint32_t CSR0 = 0x00;   // bus mode
constexpr uint32_t CSR1 = 0x08;   // transmit poll demand
constexpr uint32_t CSR3 = 0x18;   // receive list base address
constexpr uint32_t CSR4 = 0x20;   // transmit list base address
constexpr uint32_t CSR5 = 0x28;   // status
constexpr uint32_t CSR6 = 0x30;   // operation mode
constexpr uint32_t CSR7 = 0x38;   // interrupt enable
constexpr uint32_t CSR8 = 0x40;   // missed frames and overflow counter
constexpr uint32_t CSR12 = 0x60;  // SIA status
constexpr uint32_t CSR13 = 0x68;  // SIA connectivity
constexpr uint32_t CSR14 = 0x70;  // SIA transmit and receive
constexpr uint32_t CSR15 = 0x78;  // SIA and general-purpose port

// Configuration registers.
constexpr int CFCS = 0x04;  // command and status
constexpr int CFLT = 0x0C;  // low byte: cache-line size
constexpr int CSID = 0x2C;  // high half: subsystem ID
constexpr int CFDD = 0x40;  // device and driver area (sleep, snooze)

constexpr uint32_t CSR0_RESET = 0x00000001;

// CSR5 events.
constexpr uint32_t CSR5_TI = 0x00000001;
constexpr uint32_t CSR5_TU = 0x00000004;
constexpr uint32_t CSR5_LNP = 0x00000010;  // link pass
constexpr uint32_t CSR5_UNF = 0x00000020;  // transmit underflow
constexpr uint32_t CSR5_RI = 0x00000040;
constexpr uint32_t CSR5_RU = 0x00000080;   // receive buffer unavailable
constexpr uint32_t CSR5_LNF = 0x00001000;  // link fail
constexpr uint32_t CSR5_GPI = 0x04000000;  // link changed (the PHY's interrupt)
constexpr uint32_t CSR5_SUMMARIES = 0x00018000;
constexpr uint32_t CSR5_EXTRA = 0x040032B8;  // events beyond RI, TI and TU
constexpr uint32_t CSR5_HANDLED = 0x0401B2FD;
constexpr uint32_t CSR5_TX_STATE = 0x00700000;
constexpr uint32_t CSR5_TXRX_STATE = 0x007E0000;

// CSR6 bits.
constexpr uint32_t CSR6_SR = 0x00000002;       // start receive
constexpr uint32_t CSR6_PR = 0x00000040;       // promiscuous
constexpr uint32_t CSR6_PM = 0x00000080;       // pass all multicast
constexpr uint32_t CSR6_FD = 0x00000200;       // full duplex
constexpr uint32_t CSR6_ST = 0x00002000;       // start transmission
constexpr uint32_t CSR6_TR = 0x0000C000;       // transmit threshold
constexpr uint32_t CSR6_TR_STEP = 0x00004000;
constexpr uint32_t CSR6_SF = 0x00200000;       // store and forward
constexpr uint32_t CSR6_TTM = 0x00400000;      // transmit threshold mode (10 Mb/s)
constexpr uint32_t CSR6_RUNNING = CSR6_ST | CSR6_SR;

// Descriptor bits.
constexpr uint32_t OWN = 0x80000000;
constexpr uint32_t TDES0_DONE = 0x7FFFFFFF;     // setup or empty descriptor completed
constexpr uint32_t TDES0_ABANDONED = 0x7EEEEEEE;  // a queued frame dropped by start
constexpr uint32_t TDES0_ES = 0x00008000;
constexpr uint32_t TDES0_CARRIER = 0x00000C00;  // LO and NC
constexpr uint32_t TDES0_EC = 0x00000100;
constexpr uint32_t TDES0_CC = 0x00000078;
constexpr uint32_t TDES0_UF = 0x00000002;
constexpr uint32_t TDES0_DE = 0x00000001;
constexpr uint32_t TDES1_IC = 0x80000000;
constexpr uint32_t TDES1_LS = 0x40000000;
constexpr uint32_t TDES1_FS = 0x20000000;
constexpr uint32_t TDES1_FT1 = 0x10000000;
constexpr uint32_t TDES1_SET = 0x08000000;
constexpr uint32_t TDES1_TER = 0x02000000;
constexpr uint32_t TDES1_FT0 = 0x00400000;
constexpr uint32_t RDES0_FL_SHIFT = 16;
constexpr uint32_t RDES0_FL_MASK = 0x3FFF;
constexpr uint32_t RDES0_ES = 0x00008000;
constexpr uint32_t RDES0_FS = 0x00000200;
constexpr uint32_t RDES0_LS = 0x00000100;
constexpr uint32_t RDES0_DB = 0x00000004;
constexpr uint32_t RDES0_CE = 0x00000002;
constexpr uint32_t RDES1_RCH = 0x01000000;

// MII registers of the Level1 PHYs.
constexpr int MII_BMCR = 0;
constexpr int MII_BMSR = 1;
constexpr int MII_ID1 = 2;
constexpr int MII_ID2 = 3;
constexpr int MII_ANAR = 4;
constexpr uint16_t BMCR_RESET = 0x8000;

}  // namespace r83
