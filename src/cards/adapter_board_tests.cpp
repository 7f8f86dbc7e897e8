#include "cards/adapter_board_tests.h"

#include <cstdio>

#include "cards/dec21143_card.h"
#include "pci/pci_system.h"
#include "pci/sys_access.h"

namespace {

constexpr int kCfid = 0x00;
constexpr int kCfcs = 0x04;
constexpr int kCfrv = 0x08;
constexpr int kCflt = 0x0C;
constexpr int kCbio = 0x10;
constexpr int kCbma = 0x14;
constexpr int kCsid = 0x2C;
constexpr int kCber = 0x30;
constexpr int kCfit = 0x3C;
constexpr int kCfdd = 0x40;
constexpr uint32_t kBusMaster = 0x00000004;

constexpr uint32_t kCsr0 = 0x00;
constexpr uint32_t kCsr1 = 0x08;
constexpr uint32_t kCsr3 = 0x18;
constexpr uint32_t kCsr4 = 0x20;
constexpr uint32_t kCsr5 = 0x28;
constexpr uint32_t kCsr6 = 0x30;
constexpr uint32_t kCsr13 = 0x68;
constexpr uint32_t kCsr14 = 0x70;
constexpr uint32_t kCsr15 = 0x78;

constexpr int kConfigPositions = 64;
constexpr uint32_t kOwn = 0x80000000;
constexpr uint32_t kStartTxRx = 0x2002;
constexpr int kFrameBytes = 256;
// Between two looks at a descriptor, so that a simulated machine moves on too.
constexpr int kPollMicroseconds = 50;

// Descriptors and buffers at the start of the DMA block: the transmit ring,
// its frame, the receive ring and its buffer.
constexpr uint32_t kTxRing = 0x000;
constexpr uint32_t kTxBuffer = 0x020;
constexpr uint32_t kRxRing = 0x800;
constexpr uint32_t kRxBuffer = 0x820;

enum BoardTest {
  kConfigurationReads,
  kConfigurationWrites,
  kIoRegisters,
  kMemoryRegisters,
  kSerialEeprom,
  kLevel1Phy,
  kInternalLoopback,
  kPhyLoopback,
};

// The chip writes the descriptors behind the compiler's back.
void Store32(uint8_t* at, uint32_t value) {
  volatile uint8_t* p = at;
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t Load32(const uint8_t* at) {
  const volatile uint8_t* p = at;
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = value << 8 | p[i];
  return value;
}

// Descriptor words 0 to 2 (word 3 is not used in ring mode).
void StoreDescriptor(uint8_t* at, uint32_t status, uint32_t control, uint32_t buffer) {
  Store32(at, status);
  Store32(at + 4, control);
  Store32(at + 8, buffer);
}

void SetBusMaster(PCI_System* system, bool on) {
  const uint32_t cfcs = sys_config_read(system, kCfcs);
  sys_config_write(system, kCfcs, on ? cfcs | kBusMaster : cfcs & ~kBusMaster);
}

// Waits up to the one-second time-out for the chip to hand the descriptor back.
bool WaitForRelease(PCI_System* system, const uint8_t* descriptor) {
  system->StartTimeout(1);
  while (Load32(descriptor) & kOwn) {
    if (system->TimedOut()) return false;
    sys_delay(system, kPollMicroseconds);
  }
  return true;
}

}  // namespace

const char* const kAdapterBoardTestNames[] = {
    "Configuration Reads",
    "Configuration Writes",
    "I/O-mapped Registers",
    "Memory-mapped Registers",
    "Serial EEPROM",
    "Level1 PHY",
    "DEC21143 Internal Loopback",
    "PHY Loopback",
    nullptr,
};

const char* RunAdapterBoardTest(DEC21143_Card& card, const AdapterModelTests& model, int index) {
  switch (index) {
    case kConfigurationReads:
      return CheckAdapterConfiguration(card.system, model.cfcsReservedBits);
    case kConfigurationWrites:
      return card.CheckReadOnlyConfigBits(model.readOnlyConfigMask, kConfigPositions);
    case kIoRegisters:
      return card.TestIoRegisters();
    case kMemoryRegisters:
      return card.TestMemoryRegisters();
    case kSerialEeprom:
      return card.TestEeprom();
    case kLevel1Phy:
      return card.RunPhyTest();
    case kInternalLoopback:
      return RunAdapterLoopback(card, model.r83, 0x400, 0x2000);
    case kPhyLoopback:
      return RunAdapterLoopback(card, model.r83, 0x800, 0x4000);
    default:
      return "Unknown test!";
  }
}

const char* CheckAdapterConfiguration(PCI_System* system, uint32_t cfcsReservedBits) {
  if (sys_config_read(system, kCfid) != 0x00191011) return "Wrong CFID value";

  const uint32_t cfcs = sys_config_read(system, kCfcs);
  if (cfcs & cfcsReservedBits) return "Reserved bits set in CFCS register";
  if (cfcs & 0x40000000) return "CFCS reports system error";
  if ((cfcs & 0x06000000) != 0x02000000) return "CFCS reports wrong device timing value";

  const uint32_t cfrv = sys_config_read(system, kCfrv);
  if ((cfrv & 0xFFFF0000) != 0x02000000) return "CFRV reports wrong device class";
  if (cfrv & 0xFF00) return "Reserved bits set in CFRV register";

  if (sys_config_read(system, kCflt) & 0xFFFF0000) return "Reserved bits set in CFLT register";

  const uint32_t cbio = sys_config_read(system, kCbio);
  if (cbio & 0x7E) return "Unexpected bits set in CBIO register";
  if (!(cbio & 1)) return "I/O space bit not set in CBIO register";

  const uint32_t cbma = sys_config_read(system, kCbma);
  if (cbma & 0x7E) return "Unexpected bits set in CBMA register";
  if (cbma & 1) return "I/O space bit set in CBMA register";

  (void)sys_config_read(system, kCsid);  // read, not judged

  if (sys_config_read(system, kCber) & 0x3FE) return "Unexpected bits set in CBER register";
  if ((sys_config_read(system, kCfit) & 0xFFFFFF00) != 0x28140100) return "Wrong CFIT register value";
  if (sys_config_read(system, kCfdd) & 0x3FFF00FF) return "Reserved bits set in CFDD register";
  return nullptr;
}

const char* RunAdapterLoopback(DEC21143_Card& card, bool r83, uint32_t operatingMode, uint16_t phyControl) {
  static char message[64];
  PCI_System* system = card.system;

  if (!(sys_config_read(system, kCfcs) & kBusMaster)) return "Bus mastering disabled";
  if (r83) sys_config_write(system, kCfdd, 0);
  card.Reset();

  uint32_t busMode = 0x01A06002;  // cache alignment by the cache-line size
  const uint8_t cacheLine = static_cast<uint8_t>(sys_config_read(system, kCflt));
  if (cacheLine == 16) busMode = 0x01A0A002;
  if (cacheLine == 32) busMode = 0x01A0E002;

  card.WritePhyRegister(0, phyControl);
  if (card.IsFiber()) card.WritePhyRegister(19, static_cast<uint16_t>(card.ReadPhyRegister(19) | 0x0004));

  uint8_t* v = system->dmaVirtual;
  const uint32_t p = system->dmaPhysical;
  // One frame, first and last segment, end of ring, 256 bytes; the second
  // descriptor of each ring stays with the host.
  StoreDescriptor(v + kTxRing, kOwn, 0x62000100, p + kTxBuffer);
  Store32(v + kTxRing + 16, 0);
  Store32(v + kTxRing + 20, 0x02000000);
  for (int i = 0; i < kFrameBytes; ++i) v[kTxBuffer + i] = static_cast<uint8_t>(i);
  StoreDescriptor(v + kRxRing, kOwn, 1518, p + kRxBuffer);
  Store32(v + kRxRing + 16, 0);
  Store32(v + kRxRing + 20, 0x02000000);

  sys_mem_write(system, kCsr5, 0xFFFFFFFF);
  sys_mem_write(system, kCsr0, busMode);
  const uint32_t mode = operatingMode | 0x420C0040;
  sys_mem_write(system, kCsr6, mode);
  sys_mem_write(system, kCsr4, p + kTxRing);
  sys_mem_write(system, kCsr3, p + kRxRing);
  if (r83) {
    sys_mem_write(system, kCsr13, 0);
    sys_mem_write(system, kCsr14, 0);
    sys_mem_write(system, kCsr15, 0x890F0000);
    sys_mem_write(system, kCsr15, 0x800F0000);
  }
  sys_mem_write(system, kCsr6, mode | kStartTxRx);
  sys_mem_write(system, kCsr1, 0xFFFFFFFF);

  if (!WaitForRelease(system, v + kTxRing)) return "Timeout on loopback transmission";
  if (!WaitForRelease(system, v + kRxRing)) return "Timeout on loopback reception";

  for (int i = 0; i < kFrameBytes; ++i) {
    const uint8_t got = v[kRxBuffer + i];
    if (got != static_cast<uint8_t>(i)) {
      std::snprintf(message, sizeof message, "Byte %02x should be %02x was %02x", static_cast<unsigned>(i),
                    static_cast<unsigned>(i), static_cast<unsigned>(got));
      return message;
    }
  }

  // Without bus mastering the chip must leave the descriptors alone, even with
  // both processes started.
  sys_mem_write(system, kCsr6, mode);
  SetBusMaster(system, false);
  Store32(v + kTxRing, kOwn);
  Store32(v + kRxRing, kOwn);
  sys_mem_write(system, kCsr6, mode | kStartTxRx);
  sys_delay(system, 1000000);
  sys_mem_write(system, kCsr6, mode);
  SetBusMaster(system, true);

  if (Load32(v + kTxRing) != kOwn) return "Transmit DMA occurred while disabled!";
  if (Load32(v + kRxRing) != kOwn) return "Receive DMA occurred while disabled!";
  return nullptr;
}

const char* RunBusMasterBitFlip(PCI_System* system) {
  static char message[80];
  for (int n = 0; n < 200; ++n) {
    const uint32_t x = sys_config_read(system, kCfcs);
    const uint32_t off = x & ~kBusMaster;
    sys_config_write(system, kCfcs, off);
    uint32_t r = sys_config_read(system, kCfcs);
    if (r != off) {
      std::snprintf(message, sizeof message, "Bad Value. Count=%d Exp=0x%08x Read=0x%08x", n, off, r);
      return message;
    }
    // Compared with the value first read: bus mastering must have been on.
    sys_config_write(system, kCfcs, x | kBusMaster);
    r = sys_config_read(system, kCfcs);
    if (r != x) {
      std::snprintf(message, sizeof message, "Bad Value. Count=%d Exp=0x%08x Read=0x%08x", n, x, r);
      return message;
    }
  }
  return nullptr;
}
