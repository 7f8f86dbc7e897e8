#pragma once
#include <optional>
#include <stdexcept>
#include <string>

#include "sim/serial_eeprom.h"

namespace sim {

// A board's EEPROM kept in a file between runs: 64 words of four hexadecimal
// digits, whitespace-separated, "#" starting a comment.
struct EepromFileError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The saved words; none when the file does not exist. Throws EepromFileError
// for a file that cannot be read or does not hold exactly 64 words.
std::optional<SerialEeprom::Words> LoadEepromFile(const std::string& path);

// Replaces the file atomically: a temporary file beside it, then a rename, so
// that a crash leaves either the old or the new image. Throws EepromFileError.
void SaveEepromFile(const std::string& path, const SerialEeprom::Words& words);

}  // namespace sim
