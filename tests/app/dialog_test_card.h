#pragma once
#include <optional>

#include "cards/eeprom_image.h"
#include "support/fake_eeprom_card.h"

// The fake EEPROM card as the DEC cards present it to the dialogs: the station
// address from words 42 to 44, optionally an R83's EEPROM defaults, a port
// count and port, and a text thrown on reading a chosen word (or on any write).
class DialogTestCard : public FakeEepromCard {
 public:
  explicit DialogTestCard(PCI_System* system = nullptr) : FakeEepromCard(system) {}

  std::optional<bool> r83Fiber;  // set: BuildEepromImage puts the R83 defaults in
  int ports = 1;
  int currentPort = 0;
  int throwOnReadWord = -1;
  int throwOnWriteWord = -1;
  std::vector<int> setPortCalls;

  uint16_t ReadEeprom(int word) override {
    if (word == throwOnReadWord) throw "EEPROM not responding";
    return FakeEepromCard::ReadEeprom(word);
  }
  void WriteEeprom(int word, uint16_t value) override {
    if (word == throwOnWriteWord) throw "EEPROM write timed out";
    FakeEepromCard::WriteEeprom(word, value);
  }
  EthernetAddress MacAddress() override {
    EthernetAddress address;
    for (int i = 0; i < 3; ++i) address.SetWord(i, ReadEeprom(42 + i));
    return address;
  }
  EthernetAddress VirtualMacAddress() override { return EthernetAddress(0xFFFFFF); }
  void BuildEepromImage(uint16_t* image, EthernetAddress address) override {
    if (r83Fiber) eeprom_image::FillModelDefaults(image, eeprom_image::Model::R83, *r83Fiber, address);
  }
  int PortCount() override { return ports; }
  int GetPort() override { return currentPort; }
  void SetPort(int index) override {
    setPortCalls.push_back(index);
    currentPort = index;
  }

  // The EEPROM calls other than reads, in order.
  std::vector<std::string> WritesAndEnables() const {
    std::vector<std::string> out;
    for (const auto& call : calls)
      if (call[0] != 'r') out.push_back(call);
    return out;
  }
};
