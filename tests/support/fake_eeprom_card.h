#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "cards/pci_card.h"

// A card with an in-memory 64-word EEPROM that honours write enable, plus fault
// knobs: bits stuck at their value, a write protection that does not hold, a
// word that corrupts bits from its n-th write on, and coupled words (a write
// also lands in the word whose index has the writeCoupling bits cleared).
// Every EEPROM call is logged as "r5", "w5", "e1", "e0".
class FakeEepromCard : public PCI_Card {
 public:
  explicit FakeEepromCard(PCI_System* system) : PCI_Card(system) {}

  std::array<uint16_t, 64> words{};
  std::array<uint16_t, 64> stuck{};  // bits that keep their value whatever is written
  bool writeEnabled = false;
  bool protectionBroken = false;     // writes land while disabled
  int writeCoupling = 0x3F;          // a cleared bit couples word i to word i without it
  int badWord = -1;
  uint16_t badBits = 0;
  int badFromWrite = 0;              // writes of badWord from this count on (0-based) flip badBits
  std::vector<std::string> calls;

  uint16_t ReadEeprom(int word) override {
    calls.push_back("r" + std::to_string(word));
    return words[static_cast<size_t>(word)];
  }
  void WriteEeprom(int word, uint16_t v) override {
    calls.push_back("w" + std::to_string(word));
    if (!writeEnabled && !protectionBroken) return;
    if (word == badWord && writesOfBadWord++ >= badFromWrite) v ^= badBits;
    Store(word, v);
    if ((word & writeCoupling) != word) Store(word & writeCoupling, v);
  }
  void EnableEepromWrite(bool enable) override {
    calls.push_back(enable ? "e1" : "e0");
    writeEnabled = enable;
  }

  bool IsFiber() override { return false; }
  bool Is64BitCapable() override { return false; }
  const char* Name() override { return "Fake EEPROM Card"; }
  EthernetAddress MacAddress() override { return EthernetAddress(); }
  EthernetAddress VirtualMacAddress() override { return EthernetAddress(); }
  bool HasFlash() override { return false; }
  TestNameList BoardTestNames() override { return nullptr; }
  const char* RunBoardTest(int) override { return "Unknown test!"; }
  TestNameList ExtraTestNames() override { return nullptr; }
  const char* RunExtraTest(int) override { return "Unknown test!"; }
  const RegisterSet* RegisterSets() override { return nullptr; }
  uint32_t ReadRegister(int, uint32_t) override { return 0; }
  void OpenPacketEngine() override { throw "no engine"; }

 private:
  void Store(int word, uint16_t v) {
    auto& cell = words[static_cast<size_t>(word)];
    uint16_t keep = stuck[static_cast<size_t>(word)];
    cell = static_cast<uint16_t>((cell & keep) | (v & ~keep));
  }

  int writesOfBadWord = 0;
};
