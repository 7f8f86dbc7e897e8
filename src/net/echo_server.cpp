#include "net/echo_server.h"

#include <algorithm>
#include <cstring>

#include "cards/pci_card.h"
#include "pci/pci_system.h"

EchoServer::EchoServer(PCI_Card* target) : card(target) {}

EchoServer::~EchoServer() { Stop(); }

int64_t EchoServer::Throughput(int64_t bytes, int64_t seconds) {
  return (bytes * 8) / (int64_t{1000000} * std::max<int64_t>(seconds, 1));
}

const char* EchoServer::Start(const PortChooser& choosePort) {
  if (card == nullptr) return "No card has been initialized for testing. . .";
  if (card->PortCount() > 1 && choosePort) {
    port = choosePort(card->GetPort());
    card->SetPort(port);
  }
  try {
    card->OpenPacketEngine();
  } catch (const char* text) {
    return text;
  }
  running_ = true;
  addressText = "00:00:00:00:00:00";
  packetsEchoed = bytesEchoed = bytesAtLastUpdate = throughput = 0;
  const int64_t now = card->system->WallClockSeconds();
  lastUpdate = nextUpdate = now;
  address_ = card->MacAddress();
  Refresh(now);
  return nullptr;
}

bool EchoServer::Step() {
  if (!running_) return false;
  int length = 0;
  if (card->ReceivePacket(frame_, &length) && length >= 12 &&
      std::memcmp(frame_, address_.GetBytes().data(), 6) == 0) {
    std::memcpy(frame_, frame_ + 6, 6);
    std::memcpy(frame_ + 6, address_.GetBytes().data(), 6);
    card->SendPacket(frame_, length);
    packetsEchoed += 1;
    bytesEchoed += length;
  }
  const int64_t now = card->system->WallClockSeconds();
  if (now <= nextUpdate) return false;
  Refresh(now);
  nextUpdate = now + kRefreshSeconds;
  return true;
}

void EchoServer::Refresh(int64_t now) {
  throughput = Throughput(bytesEchoed - bytesAtLastUpdate, now - lastUpdate);
  bytesAtLastUpdate = bytesEchoed;
  lastUpdate = now;
  address_ = card->MacAddress();
  addressText = address_.Format();
}

void EchoServer::Stop() {
  if (!running_) return;
  running_ = false;
  card->ClosePacketEngine();
}
