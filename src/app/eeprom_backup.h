#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include "app/eeprom_dialog.h"
#include "production/ethernet_address.h"

// A copy of an EEPROM taken before it is reprogrammed, so that a board can be
// put back as it was. The file holds the 64 words one per line as four
// hexadecimal digits, word 0 first, each followed by a comment with the word
// number and its label; "#" starts a comment. The layout is that of a bench
// board's `eeprom_file`, so a backup can also be loaded into a simulated board.
namespace eeprom_backup {

struct BackupError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// "eeprom-backup-<the address as 12 hexadecimal digits>-<YYYYMMDDTHHMMSS>.txt",
// the time in UTC.
std::string FileName(const EthernetAddress& address, int64_t unixSeconds);

// Writes the backup into `directory` under FileName; a name already taken gets
// "-2", "-3" ... before ".txt", so no backup is ever overwritten. The file is
// on disk (synced) when this returns. `about` is put in the header comment.
// Answers the path written; throws BackupError with the reason.
std::string Write(const std::string& directory, const EthernetAddress& address, int64_t unixSeconds,
                  const EepromWords& words, const std::string& about);

// Reads a backup back; throws BackupError for a file that cannot be read or does
// not hold exactly 64 words of 16 bits.
EepromWords Read(const std::string& path);

}  // namespace eeprom_backup
