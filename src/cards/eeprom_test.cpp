#include <cstdio>

#include "cards/pci_card.h"

namespace {

constexpr int kEepromWords = 64;

}  // namespace

// Every pass covers all 64 words before the next starts, so a fault that couples
// words shows up instead of being hidden by an immediate read-back.
const char* PCI_Card::TestEeprom() {
  static char message[64];
  uint16_t saved[kEepromWords];

  // A failed check must not leave the EEPROM complemented or open for writes.
  auto restore = [&] {
    for (int i = 0; i < kEepromWords; ++i) WriteEeprom(i, saved[i]);
    EnableEepromWrite(false);
  };

  for (int i = 0; i < kEepromWords; ++i) saved[i] = ReadEeprom(i);
  EnableEepromWrite(true);
  for (int i = 0; i < kEepromWords; ++i) WriteEeprom(i, static_cast<uint16_t>(~saved[i]));

  for (int i = 0; i < kEepromWords; ++i) {
    uint16_t complement = static_cast<uint16_t>(~saved[i]);
    uint16_t v = ReadEeprom(i);
    if (v != complement) {
      std::snprintf(message, sizeof message, "EEPROM word %d contains stuck bits %04x", i,
                    static_cast<unsigned>(complement ^ v));
      restore();
      return message;
    }
  }

  for (int i = 0; i < kEepromWords; ++i) WriteEeprom(i, saved[i]);
  for (int i = 0; i < kEepromWords; ++i) {
    uint16_t v = ReadEeprom(i);
    if (v != saved[i]) {
      std::snprintf(message, sizeof message, "EEPROM word %d contains bad bits %04x", i,
                    static_cast<unsigned>(saved[i] ^ v));
      EnableEepromWrite(false);
      return message;
    }
  }
  EnableEepromWrite(false);

  WriteEeprom(0, static_cast<uint16_t>(~saved[0]));
  if (ReadEeprom(0) != saved[0]) {
    // Protection did not hold; open writes briefly so word 0 is surely put back.
    EnableEepromWrite(true);
    WriteEeprom(0, saved[0]);
    EnableEepromWrite(false);
    return "EEPROM didn't write-protect correctly";
  }
  return nullptr;
}
