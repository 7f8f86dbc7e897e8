#include "cards/r83_card.h"

#include "cards/adapter_board_tests.h"
#include "cards/eeprom_image.h"

namespace {

// Read-only bits of configuration space, one mask per dword.
constexpr uint32_t kReadOnlyConfig[64] = {
    0xFFFFFFFF, 0x0E6FFEA8, 0xFFFFFFFF, 0xFFFF0000,  // 0x00 to 0x0C
    0x0000007F, 0x0000007F, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x10 to 0x1C
    0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x20 to 0x2C
    0x000003FE, 0xFFFFFF00, 0xFFFFFFFF, 0xFFFFFF00,  // 0x30 to 0x3C
    0x3FFF00FF, 0,          0,          0,           // 0x40 to 0x4C (wake-up LAN registers)
    0,          0xFFFFFE00, 0xFFFFFFFF, 0xFFFFFFFF,  // 0x50 to 0x5C
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

const AdapterModelTests kR83Tests = {0x086FFEA8, kReadOnlyConfig, true};

}  // namespace

R83_Card::R83_Card(PCI_System* owner) : DEC21143_Card(owner) {}

const char* R83_Card::Name() { return "R83"; }
TestNameList R83_Card::BoardTestNames() { return kAdapterBoardTestNames; }
const char* R83_Card::RunBoardTest(int index) { return RunAdapterBoardTest(*this, kR83Tests, index); }
TestNameList R83_Card::ExtraTestNames() { return nullptr; }
const char* R83_Card::RunExtraTest(int) { return "Unknown test!"; }

void R83_Card::BuildEepromImage(uint16_t* image, EthernetAddress address) {
  eeprom_image::FillModelDefaults(image, eeprom_image::Model::R83, IsFiber(), address);
}
