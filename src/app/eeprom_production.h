#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/eeprom_dialog.h"
#include "production/ethernet_address.h"

class MacPool;
class PCI_Card;

// EEPROM programming a production line can trust, around the EEPROM dialog's
// OK: addresses that no board may carry are refused, the old image is saved
// before anything is written, a dry run shows what would change, and the
// written image is read back and compared word by word.
namespace eeprom_production {

// One word that differs between two images.
struct WordDifference {
  int word;
  uint16_t first;   // dry run: the old word; verify: the word written
  uint16_t second;  // dry run: the new word; verify: the word read back
  bool operator==(const WordDifference&) const = default;
};

// The words where `a` and `b` differ, in word order.
std::vector<WordDifference> Compare(const EepromWords& a, const EepromWords& b);

// All 64 words through the card's ReadEeprom; a text the card throws goes on.
EepromWords ReadAll(PCI_Card& card);

// Multicast (first byte's low bit set, broadcast included) or all zero: an
// address no single board may carry. Null when the address is usable.
const char* UnusableAddressReason(const EthernetAddress& address);

struct Options {
  bool dryRun = false;
  bool verify = true;
  bool force = false;             // program a multicast or zero address anyway
  std::string backupDirectory = ".";
  int64_t now = 0;                // Unix seconds, for the backup's name
  std::string about;              // the backup's header comment
};

enum class Outcome {
  Refused,     // bad input: a message, nothing read or written
  DryRun,      // the changes worked out, nothing written
  Failed,      // reading, the backup, writing or the verify failed
  Programmed,  // written, and verified unless verify was off
};

struct Result {
  Outcome outcome = Outcome::Refused;
  // Why it was refused or failed (a dialog message is in the dialog's messages).
  std::string error;
  EthernetAddress address;       // the station address being programmed
  EepromWords before{};          // the EEPROM as it was
  EepromWords image{};           // what is (or would be) written
  std::vector<WordDifference> changes;     // before -> image
  std::string backupPath;
  bool written = false;          // the write sequence ran to its end
  bool verified = false;
  std::vector<WordDifference> mismatches;  // image -> read back
};

// Runs OK of a dialog whose fields are set: validation (the dialog's messages),
// the address check, reading the old image, then unless a dry run: the backup,
// the dialog's write sequence and the read-back.
Result Program(EEPROMDialog& dialog, PCI_Card& card, const Options& options);

// Program with the pool's next address as the station address; the pool moves
// on only once the board is programmed and verified (a dry run, a failure or a
// run without verify leave it as it was). A pool that cannot be read refuses
// the run; one that cannot be stored fails it, the board holding the address.
Result ProgramFromPool(EEPROMDialog& dialog, PCI_Card& card, MacPool& pool, const Options& options);

}  // namespace eeprom_production
