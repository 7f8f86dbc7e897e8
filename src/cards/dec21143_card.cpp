#include "cards/dec21143_card.h"

#include <cstdio>

#include "hw/adapter.h"
#include "hw/mii.h"
#include "hw/r83drv.h"
#include "hw/srom.h"
#include "pci/sys_access.h"

// Shown for the PHY on every DEC 21143 card, the R51's own sets included.
const char* const DEC21143_Card::kPhyRegisterNames[21] = {
    "Control Register",
    "Status Register",
    "PHY Identification Register 1",
    "PHY Identification Register 2",
    "Auto-Negotiation Advertisement Register",
    "Auto-Negotiation Link Partner Ability Register",
    "Auto-Negotiation Expansion Register",
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Mirror Register",
    "Interrupt Enable Register",
    "Interrupt Status Register",
    "Configuration Register",
    "Chip Status Register",
};

namespace {

enum RegisterSetIndex { kConfigSet = 0, kControllerSet = 1, kPhySet = 2, kEepromSet = 3 };

constexpr uint32_t kCsr0 = 0x00;
constexpr uint32_t kCfdd = 0x40;
constexpr int kPhyControl = 0;
constexpr int kPhyAdvertisement = 4;
constexpr uint16_t kAdvertise100BaseTx = 0x0080;
constexpr uint16_t kPhyReset = 0x8000;
constexpr int kStationAddressWord = 42;

const char* const kConfigNames[64] = {
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
    "CCIS: Card information structure",
    "CSID: Subsystem ID",
    "CBER: Expansion ROM base address",
    "CCAP: Capabilities Pointer",
    nullptr,
    "CFIT: Interrupt",
    "CFDD: Device and Driver area",
    "CWUA0: Configuration Wake-Up-LAN Address 0 (D,C,B,A)",
    "CWUA1: Configuration Wake-Up-LAN Address 1 (F,E)",
    "SOP0: SecureON Password (D,C,B,A)",
    "SOP1: SecureON Password (F,E)",
    "CWUC: Configuration Wake-Up Command",
    // 22 to 54 unnamed
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "CCID: Capability ID",
    "CPMC: Power Management Control and Status",
    // 57 to 63 unnamed
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
    "CSR11: General-purpose timer and interrupt mitigation control",
    "CSR12: SIA status",
    "CSR13: SIA connectivity",
    "CSR14: SIA transmit and receive",
    "CSR15: SIA and general-purpose port",
};

const char* const kEepromNames[64] = {
    "Sub-System Vendor ID",
    "Sub-System ID",
    "CardBus CIS Pointer low",
    "CardBus CIS Pointer high",
    nullptr,
    nullptr,
    nullptr,
    "MiscHwOptions",
    "Func0_HwOptions & ID_BLOCK_CRC",
    "SROM Format Version & Controller Count",
    "IEEE Network Address",
    "IEEE Network Address",
    "IEEE Network Address",
    "Controller 0 Device Number & Offset low",
    "Controller 0 Offset high",
    "Selected Connection Type",
    "Block Count & Info Block Length",
    "Type & PHY Number",
    "GPR Sequence Length & Word 0 low",
    "GPR Word 0 high & Word 1 low",
    "GPR Word 1 low & Reset Sequence Length",
    "Media Capabilities",
    "Nway Advertisement",
    "FDX Bit Map",
    "TTM Bit Map",
    "MII Connector Interrupt",
    // 26 to 41 unnamed
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "Orvane Ethernet Address",
    "Orvane Ethernet Address",
    "Orvane Ethernet Address",
    "Orvane Program Date",
    "Orvane Board ID",
    "Orvane 100BASE-T Full Duplex Flag",
    "Orvane 10BASE-T Full Duplex Flag",
    "Orvane 100BASE-T Flag",
    "Orvane 10BASE-T Flag",
    "Orvane AutoNegotiate Flag",
    "Orvane NIC Type",
    // 53 to 62 unnamed
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    "EEPROM CRC",
};

const RegisterSet kRegisterSets[] = {
    {"PCI Configuration", 64, 32, 4, kConfigNames},
    {"DEC 21143 MAC", 16, 32, 8, kMacNames},
    {"Level1 PHY", 21, 16, 1, DEC21143_Card::kPhyRegisterNames},
    {"Serial EEPROM", 64, 16, 1, kEepromNames},
    {nullptr, 0, 0, 0, nullptr},
};

// Controller registers over 32 positions at offsets 0, 4, ... 0x7C; CSRn sits
// at 8n and the positions between the CSRs check nothing.
constexpr int kRegisterPositions = 32;
const uint32_t kCsrValueMask[kRegisterPositions] = {
    0x00010000, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0, 0,  // CSR0 to CSR3
    0,          0, 0x00005010, 0, 0x0E010100, 0, 0x00005010, 0,  // CSR4 to CSR7
    0,          0, 0,          0, 0,          0, 0,          0,  // CSR8 to CSR11
    0,          0, 0,          0, 0,          0, 0x00000100, 0,  // CSR12 to CSR15
};
const uint32_t kCsrExpected[kRegisterPositions] = {
    0, 0, 0xFFFFFFFF, 0, 0xFFFFFFFF, 0, 0, 0,  //
    0, 0, 0,          0, 0x02000000, 0, 0, 0,  //
    0, 0, 0,          0, 0,          0, 0, 0,  //
    0, 0, 0,          0, 0,          0, 0, 0,  //
};
const uint32_t kCsrWriteOnly[kRegisterPositions] = {
    0, 0, 0, 0, 0,          0, 0, 0,  //
    0, 0, 0x03FE0000, 0, 0x00000015, 0, 0, 0,  //
    0, 0, 0, 0, 0,          0, 0, 0,  //
    0, 0, 0, 0, 0,          0, 0, 0,  //
};

constexpr const char* kEngineError = "Error initializing R83 device driver";

// Throws the engine error, with the engine's reason when it gave one. The text
// lives in a buffer of the open operation, as other formatted results do.
[[noreturn]] void ThrowEngineError(const Adapter* adapter) {
  static char message[160];
  if (adapter->lasterror == nullptr) throw kEngineError;
  std::snprintf(message, sizeof message, "%s: %s", kEngineError, adapter->lasterror);
  throw static_cast<const char*>(message);
}

}  // namespace

DEC21143_Card::DEC21143_Card(PCI_System* owner) : PCI_Card(owner) {
  adapter = new Adapter;
  adapter->host = owner;
}

bool DEC21143_Card::IsFiber() { return (ReadPhyRegister(kPhyAdvertisement) & kAdvertise100BaseTx) == 0; }
bool DEC21143_Card::Is64BitCapable() { return false; }

EthernetAddress DEC21143_Card::MacAddress() {
  EthernetAddress address;
  for (int i = 0; i < 3; ++i) address.SetWord(i, ReadEeprom(kStationAddressWord + i));
  return address;
}

EthernetAddress DEC21143_Card::VirtualMacAddress() { return EthernetAddress(0xFFFFFF); }
bool DEC21143_Card::HasFlash() { return false; }

const char* DEC21143_Card::Reset() {
  sys_mem_write(system, kCsr0, 1);  // software reset of the controller
  sys_delay(system, 2);
  WritePhyRegister(kPhyControl, kPhyReset);
  sys_delay(system, 1);
  sys_config_write(system, kCfdd, 0);  // out of sleep and snooze
  return nullptr;
}

const RegisterSet* DEC21143_Card::RegisterSets() { return kRegisterSets; }

uint32_t DEC21143_Card::ReadRegister(int set, uint32_t offset) {
  switch (set) {
    case kConfigSet:
      return sys_config_read(system, static_cast<int>(offset));
    case kControllerSet:
      return sys_mem_read(system, offset);
    case kPhySet:
      return ReadPhyRegister(static_cast<int>(offset));
    case kEepromSet:
      return ReadEeprom(static_cast<int>(offset));
    default:
      return 0;
  }
}

void DEC21143_Card::WriteRegister(int set, uint32_t offset, uint32_t value) {
  switch (set) {
    case kConfigSet:
      sys_config_write(system, static_cast<int>(offset), value);
      break;
    case kControllerSet:
      sys_mem_write(system, offset, value);
      break;
    case kPhySet:
      WritePhyRegister(static_cast<int>(offset), static_cast<uint16_t>(value));
      break;
    case kEepromSet:
      EnableEepromWrite(true);
      WriteEeprom(static_cast<int>(offset), static_cast<uint16_t>(value));
      EnableEepromWrite(false);
      break;
    default:
      break;
  }
}

uint16_t DEC21143_Card::ReadEeprom(int word) { return adapter_srom_read(adapter, word); }
void DEC21143_Card::WriteEeprom(int word, uint16_t value) { adapter_srom_write(adapter, word, value); }
void DEC21143_Card::EnableEepromWrite(bool enable) { adapter_srom_write_enable(adapter, enable ? 1 : 0); }

uint16_t DEC21143_Card::ReadPhyRegister(int reg) { return adapter_mii_read(adapter, reg); }
void DEC21143_Card::WritePhyRegister(int reg, uint16_t value) { adapter_mii_write(adapter, reg, value); }

const char* DEC21143_Card::TestIoRegisters() {
  return CheckIoRegisters(kCsrValueMask, kCsrExpected, kCsrWriteOnly, kRegisterPositions);
}

const char* DEC21143_Card::TestMemoryRegisters() {
  return CheckMemRegisters(kCsrValueMask, kCsrExpected, kCsrWriteOnly, kRegisterPositions);
}

void DEC21143_Card::OpenPacketEngine() {
  static const uint32_t kEngineDefaults[2] = {0, 0};  // CSR0, CSR6: the engine's own values
  adapter->dmaused = 0;
  adapter->rxready = nullptr;
  adapter->lasterror = nullptr;
  if (r83drv_init(adapter, 16, 16, kEngineDefaults) != 0) ThrowEngineError(adapter);

  // The engine reports a chip or PHY that does not answer; a half-started
  // engine is stopped and released, since callers never close what failed to open.
  auto failed = [this] {
    adapter->shutdown(adapter);
    adapter->close(adapter);
    ThrowEngineError(adapter);
  };
  if (adapter->start(adapter) != 0) failed();
  adapter->set_filter(adapter, 0, R83_FILTER_STATION);
  if (IsFiber() && adapter->set_media(adapter, 0, R83_MEDIA_100TX_FD) != 0) failed();
}
