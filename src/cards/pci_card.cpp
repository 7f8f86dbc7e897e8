#include "cards/pci_card.h"

#include <cstring>

#include "hw/adapter.h"
#include "hw/r83drv.h"
#include "net/echo_client.h"
#include "net/echo_reporter.h"
#include "pci/pci_system.h"
#include "pci/sys_access.h"

PCI_Card::PCI_Card(PCI_System* owner) : system(owner) {}

PCI_Card::~PCI_Card() { delete adapter; }

void PCI_Card::SetReporters(EchoReporter* first, EchoReporter* second) {
  reporter1 = first;
  reporter2 = second;
}

const char* PCI_Card::RunEchoTest(EchoReporter* first, EchoReporter* second, int packetCount,
                                  EthernetAddress server) {
  EchoClient client(first, second);
  client.serverAddress = server;
  if (!client.Attach(this)) {
    if (reporter2) reporter2->Result("Could not set the desired card");
    return "Could not set the desired card";
  }
  if (!client.SetPacketCount(packetCount)) {
    if (reporter2) reporter2->Result("Aborted - Bad packet count");
    return "Aborted - Bad packet count";
  }
  for (;;) {
    if (client.Step() != 0) return "Echo Test Failed";
    if (client.IsDone()) return nullptr;
    // A client that stopped without finishing would never become done.
    if (client.state == EchoClient::kIdle) return "Echo Test Failed";
  }
}

uint16_t PCI_Card::VendorId() { return static_cast<uint16_t>(sys_config_read(system, 0x00)); }
uint16_t PCI_Card::DeviceId() { return static_cast<uint16_t>(sys_config_read(system, 0x00) >> 16); }
uint16_t PCI_Card::SubsystemVendorId() { return static_cast<uint16_t>(sys_config_read(system, 0x2C)); }
uint16_t PCI_Card::SubsystemId() { return static_cast<uint16_t>(sys_config_read(system, 0x2C) >> 16); }
uint8_t PCI_Card::BaseClass() { return static_cast<uint8_t>(sys_config_read(system, 0x08) >> 24); }
uint8_t PCI_Card::SubClass() { return static_cast<uint8_t>(sys_config_read(system, 0x08) >> 16); }
uint8_t PCI_Card::RevisionId() { return static_cast<uint8_t>(sys_config_read(system, 0x08)); }

void PCI_Card::SetPort(int index) { port = index; }
int PCI_Card::GetPort() { return 0; }
int PCI_Card::Reserved1() { return 0; }
uint32_t PCI_Card::PhyId() { return 0; }
bool PCI_Card::Is64BitSlot() { return false; }
int PCI_Card::Reserved2() { return 1; }
int PCI_Card::PortCount() { return 1; }
const char* PCI_Card::Reset() { return nullptr; }

int PCI_Card::CountNames(TestNameList names) {
  int count = 0;
  if (names != nullptr)
    while (names[count] != nullptr) ++count;
  return count;
}

int PCI_Card::BoardTestCount() { return CountNames(BoardTestNames()); }
int PCI_Card::ExtraTestCount() { return CountNames(ExtraTestNames()); }

void PCI_Card::WriteRegister(int, uint32_t, uint32_t) {}
void PCI_Card::BuildEepromImage(uint16_t*, EthernetAddress) {}

void PCI_Card::ReadFlash(uint32_t, uint8_t* buffer, int length) {
  if (length > 0) std::memset(buffer, 0, static_cast<size_t>(length));
}

// ---- Packet operations on the card's engine (valid between a successful
// OpenPacketEngine and ClosePacketEngine) ----

namespace {
// A ring that frees no descriptor for this long belongs to a chip that has
// stopped transmitting; the frame is dropped rather than hanging the program.
constexpr uint64_t kTransmitWaitMicros = 2000000;
constexpr int kTransmitPollMicros = 10;

// A card whose engine was never initialised has an empty operation table; the
// packet operations then do nothing.
bool EngineReady(const Adapter* adapter) { return adapter != nullptr && adapter->service != nullptr; }
}  // namespace

void PCI_Card::SendPacket(const uint8_t* frame, int length) {
  if (!EngineReady(adapter) || length < 0) return;
  // One buffer holds a whole frame; a longer one is cut to what the engine sends.
  const uint32_t bytes = static_cast<uint32_t>(length) > R83_MAX_FRAME ? R83_MAX_FRAME : static_cast<uint32_t>(length);
  const uint64_t start = system->MonotonicMicroseconds();
  for (;;) {
    adapter->service(adapter);  // reclaims finished transmissions
    uint32_t count = 1;
    TxDesc* td = adapter->tx_reserve(adapter, &count);
    if (count != 0) {
      std::memcpy(td->buf, frame, bytes);
      td->len = bytes;
      adapter->tx_send(adapter, td, 1);
      return;
    }
    if (system->MonotonicMicroseconds() - start >= kTransmitWaitMicros) return;
    sys_delay(system, kTransmitPollMicros);
  }
}

bool PCI_Card::ReceivePacket(uint8_t* buffer, int* length) {
  if (!EngineReady(adapter)) return false;
  adapter->service(adapter);  // moves new frames onto rxready
  RxDesc* rd = adapter->rxready;
  if (rd == nullptr) return false;
  adapter->rxready = rd->next;
  std::memcpy(buffer, rd->buf, rd->len);
  *length = static_cast<int>(rd->len);
  adapter->rx_return(adapter, rd);
  return true;
}

void PCI_Card::ClosePacketEngine() {
  if (!EngineReady(adapter)) return;
  adapter->shutdown(adapter);
  adapter->close(adapter);
}
