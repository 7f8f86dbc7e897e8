#include "cards/unknown_card.h"

#include "hw/adapter.h"

namespace {
const char* const kConfigurationNames[16] = {
    "Identification",
    "Command and Status",
    "Class and Revision",
    "BIST, Header Type, Latency timer, and Cache Line Size",
    "Base Address 1",
    "Base Address 2",
    "Base Address 3",
    "Base Address 4",
    "Base Address 5",
    "Base Address 6",
    "Cardbus CIS Pointer",
    "Subsystem ID",
    "Expansion ROM Base Address",
    nullptr,
    nullptr,
    "Latency and Interrupts",
};

const RegisterSet kRegisterSets[] = {
    {"PCI Configuration", 16, 32, 4, kConfigurationNames},
    {nullptr, 0, 0, 0, nullptr},
};

// The address unknown functions hand out: 00:00:00:ff:ff:ff.
constexpr uint64_t kPlaceholderAddress = 0xFFFFFF;
}  // namespace

UnknownCard::UnknownCard(PCI_System* owner) : PCI_Card(owner) {
  // The record is never used for packet I/O; it only links back to the system.
  adapter = new Adapter;
  adapter->host = owner;
}

uint32_t UnknownCard::PhyId() { return 0; }
bool UnknownCard::IsFiber() { return false; }
bool UnknownCard::Is64BitCapable() { return false; }
bool UnknownCard::Is64BitSlot() { return false; }
const char* UnknownCard::Name() { return "Unknown Card"; }

EthernetAddress UnknownCard::MacAddress() {
  EthernetAddress address;
  address.SetValue(kPlaceholderAddress);
  return address;
}

EthernetAddress UnknownCard::VirtualMacAddress() { return MacAddress(); }
bool UnknownCard::HasFlash() { return false; }
const char* UnknownCard::Reset() { return nullptr; }
TestNameList UnknownCard::BoardTestNames() { return nullptr; }
const char* UnknownCard::RunBoardTest(int) { return "Unknown test!"; }
TestNameList UnknownCard::ExtraTestNames() { return nullptr; }
const char* UnknownCard::RunExtraTest(int) { return "Unknown test!"; }
const RegisterSet* UnknownCard::RegisterSets() { return kRegisterSets; }
uint32_t UnknownCard::ReadRegister(int, uint32_t) { return 0; }
void UnknownCard::WriteRegister(int, uint32_t, uint32_t) {}
uint16_t UnknownCard::ReadEeprom(int) { return 0; }
void UnknownCard::WriteEeprom(int, uint16_t) {}
void UnknownCard::EnableEepromWrite(bool) {}
void UnknownCard::OpenPacketEngine() { throw "Failed there is no driver for this card."; }
