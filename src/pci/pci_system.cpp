#include "pci/pci_system.h"

#include <new>

#include "cards/card_factory.h"
#include "cards/pci_card.h"
#include "cards/unknown_card.h"
#include "pci/card_detection.h"

namespace {
constexpr uint16_t kConfigAddressPort = 0xCF8;
constexpr uint16_t kConfigDataPort = 0xCFC;

// Bus numbers the scan keeps flags for.
constexpr int kScannedBuses = 32;
constexpr int kDevicesPerBus = 32;
}  // namespace

PCI_System::PCI_System() { card = new (std::nothrow) UnknownCard(this); }

PCI_System::~PCI_System() {
  FreeLists();
  delete card;
  card = nullptr;
}

void PCI_System::FreeLists() {
  while (busList != nullptr) {
    PciBusInfo* bus = busList;
    busList = bus->next;
    while (bus->devices != nullptr) {
      PciDeviceInfo* device = bus->devices;
      bus->devices = device->next;
      delete device;
    }
    delete bus;
  }
}

uint32_t PCI_System::ConfigAddress(int bus, int device, int offset, int function) {
  // The offset goes out unmasked in bits 7-0, its two low bits included; the
  // word or byte is picked from the returned dword afterwards.
  return 0x80000000u | (static_cast<uint32_t>(bus & 0xFF) << 16) | (static_cast<uint32_t>(device & 0x1F) << 11) |
         (static_cast<uint32_t>(function & 7) << 8) | static_cast<uint32_t>(offset & 0xFF);
}

uint32_t PCI_System::ReadConfig32(int bus, int device, int offset, int function) {
  WritePort32(kConfigAddressPort, ConfigAddress(bus, device, offset, function));
  uint32_t value = ReadPort32(kConfigDataPort);
  WritePort32(kConfigAddressPort, 0);
  return value;
}

int PCI_System::ReadConfig16(int bus, int device, int offset, int function, uint16_t* value) {
  uint32_t dword = ReadConfig32(bus, device, offset, function);
  *value = static_cast<uint16_t>((offset & 2) ? dword >> 16 : dword);
  return 0;
}

int PCI_System::ReadConfig8(int bus, int device, int offset, int function, uint8_t* value) {
  uint32_t dword = ReadConfig32(bus, device, offset, function);
  *value = static_cast<uint8_t>(dword >> (8 * (offset & 3)));
  return 0;
}

uint32_t PCI_System::ReadDeviceConfig32(int offset) { return ReadConfig32(selectedBus, selectedDevice, offset, 0); }

void PCI_System::WriteDeviceConfig32(int offset, uint32_t value) {
  // Only reads clear the address register afterwards.
  WritePort32(kConfigAddressPort, ConfigAddress(selectedBus, selectedDevice, offset, 0));
  WritePort32(kConfigDataPort, value);
}

bool PCI_System::AddBus(PciBusInfo* bus) {
  PciBusInfo** tail = &busList;
  while (*tail != nullptr) tail = &(*tail)->next;
  *tail = bus;
  return true;
}

bool PCI_System::AddDevice(uint32_t busNumber, PciDeviceInfo* device) {
  ++deviceCount;  // 8 bits: wraps past 255
  for (PciBusInfo* bus = busList; bus != nullptr; bus = bus->next) {
    if (bus->busNumber != busNumber) continue;
    ++bus->deviceCount;
    PciDeviceInfo** tail = &bus->devices;
    while (*tail != nullptr) tail = &(*tail)->next;
    *tail = device;
    return true;
  }
  return false;
}

const char* PCI_System::ScanBuses() {
  bool busExists[kScannedBuses] = {};
  auto mark = [&](uint32_t bus) {
    if (bus < kScannedBuses) busExists[bus] = true;
  };

  for (int bus = 0; bus < kScannedBuses; ++bus) {
    for (int device = 0; device < kDevicesPerBus; ++device) {
      uint16_t word = 0;
      uint8_t byte = 0;
      ReadConfig16(bus, device, 0x00, 0, &word);
      if (word == 0xFFFF) continue;

      auto* info = new (std::nothrow) PciDeviceInfo;
      if (info == nullptr) return "Not enough memory";
      info->vendorId = word;
      ReadConfig16(bus, device, 0x02, 0, &word);
      info->deviceId = word;
      ReadConfig8(bus, device, 0x08, 0, &byte);
      info->revisionId = byte;
      ReadConfig8(bus, device, 0x09, 0, &byte);
      info->progIf = byte;
      ReadConfig8(bus, device, 0x0A, 0, &byte);
      info->subClass = byte;
      ReadConfig8(bus, device, 0x0B, 0, &byte);
      info->baseClass = byte;
      ReadConfig16(bus, device, 0x0E, 0, &word);
      info->headerType = word;
      info->busNumber = static_cast<uint32_t>(bus);
      info->deviceNumber = static_cast<uint32_t>(device);

      const bool bridgeHeader = (info->headerType & 1) != 0;
      if (!bridgeHeader) {
        ReadConfig16(bus, device, 0x2C, 0, &word);
        info->subsystemVendorId = word;
        ReadConfig16(bus, device, 0x2E, 0, &word);
        info->subsystemId = word;
      }

      if (!busExists[bus]) {
        if (info->baseClass == 6 && (info->subClass == 4 || info->subClass == 0)) {
          auto* record = new (std::nothrow) PciBusInfo;
          if (record == nullptr) {
            delete info;
            return "Not enough memory";
          }
          if (bridgeHeader) {
            ReadConfig8(bus, device, 0x18, 0, &byte);
            info->busNumber = byte;
            ReadConfig8(bus, device, 0x19, 0, &byte);
            info->secondaryBus = byte;
            ReadConfig8(bus, device, 0x1A, 0, &byte);
            info->subordinateBus = byte;
            record->busNumber = info->secondaryBus;
            // A secondary bus of 32 or more lies outside the flags: it gets its
            // record, but the scan never visits it.
            mark(info->secondaryBus);
          } else {
            info->busNumber = static_cast<uint32_t>(bus);
            record->busNumber = static_cast<uint32_t>(bus);
            mark(static_cast<uint32_t>(bus));
          }
          if (!AddBus(record)) {
            delete record;
            delete info;
            return "Could not add a new bus to the list !!";
          }
        }
        if (!busExists[bus]) {
          auto* record = new (std::nothrow) PciBusInfo;
          if (record == nullptr) {
            delete info;
            return "Not enough memory";
          }
          record->busNumber = static_cast<uint32_t>(bus);
          mark(static_cast<uint32_t>(bus));
          info->busNumber = static_cast<uint32_t>(bus);
          if (!AddBus(record)) {
            delete record;
            delete info;
            return "Could not add a new bus to the list !!";
          }
        }
      }

      if (!AddDevice(info->busNumber, info)) {
        delete info;
        return "Could not add a new device to the list !!";
      }
    }
  }
  return nullptr;
}

void PCI_System::SelectDevice(int bus, int device) {
  selectedBus = bus;
  selectedDevice = device;
  delete card;
  card = nullptr;

  for (PciBusInfo* record = busList; record != nullptr && card == nullptr; record = record->next) {
    if (record->busNumber != static_cast<uint32_t>(bus)) continue;
    for (PciDeviceInfo* info = record->devices; info != nullptr; info = info->next) {
      if (info->deviceNumber == static_cast<uint32_t>(device)) {
        card = CreateCard(info);
        break;
      }
    }
  }

  const uint32_t id = ReadDeviceConfig32(0x00);
  const uint32_t bar0 = ReadDeviceConfig32(0x10);
  const uint32_t bar1 = ReadDeviceConfig32(0x14);
  if (id == 0x100013D8) {
    if (bar0 != 0) {
      memBase = bar0 & 0xFFFFFFF0u;
      ioBase = bar1;
    } else {
      ioBase = 0;
      memBase = bar1;
    }
  } else if (bar0 & 1) {
    ioBase = bar0 & 0xFFFFFFFCu;
    memBase = bar1;
  } else {
    memBase = bar0 & 0xFFFFFFF0u;
    ioBase = bar1;
  }

  if (id == 0x00461011 && ReadDeviceConfig32(0x2C) == 0x060113D8) windowBase = ReadDeviceConfig32(0x18);
}

PCI_Card* PCI_System::CreateCard(const PciDeviceInfo* device) { return MakeCard(this, ChooseCardKind(*device, cardDetection)); }
