#include "cards/r51_card.h"

#include "cards/adapter_board_tests.h"
#include "cards/eeprom_image.h"

namespace {

// Read-only bits of configuration space, one mask per dword. The R51's part
// has no wake-up LAN registers: 0x44 to 0x54 are reserved.
constexpr uint32_t kReadOnlyConfig[64] = {
    0xFFFFFFFF, 0x0E6FFEA8, 0xFFFFFFFF, 0xFFFF0000,  // 0x00 to 0x0C
    0x0000007F, 0x0000007F, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x10 to 0x1C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x20 to 0x2C
    0x000003FE, 0xFFFFFF00, 0,          0,           // 0x30 to 0x3C
    0x3FFF00FF, 0xFFFFFF00, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x40 to 0x4C
    0xFFFFFFFF, 0xFFFFFF00, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x50 to 0x5C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x60 to 0x6C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x70 to 0x7C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x80 to 0x8C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x90 to 0x9C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0xA0 to 0xAC
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0xB0 to 0xBC
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0xC0 to 0xCC
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0xD0 to 0xDC
    0xFFFF7EFC, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0xE0 to 0xEC
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0xF0 to 0xFC
};

const AdapterModelTests kR51Tests = {0x000FFC00, kReadOnlyConfig, false};

const char* const kExtraTestNames[] = {"Bus Master Bit Flip Test", nullptr};

const char* const kConfigNames[17] = {
    "CFID: Identification",
    "CFCS: Command and Status",
    "CFRV: Revision",
    "CFLT: Latency timer",
    "CBIO: Base I/O address",
    "CBMA: Base memory address",
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    "SSID: Subsystem ID",
    "CBER: Expansion ROM base address",
    nullptr,
    nullptr,
    "CFIT: Interrupt",
    "CFDD: Device and Driver area",
};

const char* const kMacNames[16] = {
    "CSR0: Bus mode",
    "CSR1: Transmit poll demand",
    "CSR2: Receive poll demand",
    "CSR3: Receive list base address",
    "CSR4: Transmit list base address",
    "CSR5: Status",
    "CSR6: Operation mode",
    "CSR7: Interrupt enable",
    "CSR8: Missed frames and overflow counter",
    "CSR9: Boot ROM, serial ROM, and MII management",
    "CSR10: Boot ROM programming address",
    "CSR11: General-purpose timer",
    "CSR12: General-purpose port",
    nullptr,
    nullptr,
    "CSR15: Watchdog timer",
};

// Set indexes 0 to 2 mean the same spaces as on every DEC 21143 card.
const RegisterSet kRegisterSets[] = {
    {"PCI Configuration", 17, 32, 4, kConfigNames},
    {"DEC 21140 MAC", 16, 32, 8, kMacNames},
    {"Level1 PHY", 21, 16, 1, DEC21143_Card::kPhyRegisterNames},
    {nullptr, 0, 0, 0, nullptr},
};

}  // namespace

R51_Card::R51_Card(PCI_System* owner) : DEC21143_Card(owner) {}

const char* R51_Card::Name() { return "R51"; }
TestNameList R51_Card::BoardTestNames() { return kAdapterBoardTestNames; }
const char* R51_Card::RunBoardTest(int index) { return RunAdapterBoardTest(*this, kR51Tests, index); }
TestNameList R51_Card::ExtraTestNames() { return kExtraTestNames; }

const char* R51_Card::RunExtraTest(int index) {
  if (index == 0) return RunBusMasterBitFlip(system);
  return "Unknown test!";
}

const RegisterSet* R51_Card::RegisterSets() { return kRegisterSets; }

void R51_Card::BuildEepromImage(uint16_t* image, EthernetAddress address) {
  eeprom_image::FillModelDefaults(image, eeprom_image::Model::R51, IsFiber(), address);
}
