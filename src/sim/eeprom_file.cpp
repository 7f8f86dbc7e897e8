#include "sim/eeprom_file.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

namespace sim {

std::optional<SerialEeprom::Words> LoadEepromFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) {
    if (errno == ENOENT) return std::nullopt;
    throw EepromFileError(path + ": cannot open the EEPROM file: " + std::strerror(errno));
  }
  SerialEeprom::Words words{};
  int count = 0;
  std::string line;
  int lineNumber = 0;
  while (std::getline(in, line)) {
    ++lineNumber;
    if (auto hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream tokens(line);
    std::string token;
    while (tokens >> token) {
      char* end = nullptr;
      const unsigned long value = std::strtoul(token.c_str(), &end, 16);
      if (*end != '\0' || value > 0xFFFF) {
        throw EepromFileError(path + ":" + std::to_string(lineNumber) + ": \"" + token +
                              "\" is not a 16-bit hexadecimal word");
      }
      if (count == SerialEeprom::kWords) {
        throw EepromFileError(path + ":" + std::to_string(lineNumber) + ": more than 64 words");
      }
      words[count++] = static_cast<uint16_t>(value);
    }
  }
  if (in.bad()) throw EepromFileError(path + ": cannot read the EEPROM file");
  if (count != SerialEeprom::kWords) {
    throw EepromFileError(path + ": holds " + std::to_string(count) + " words, not 64");
  }
  return words;
}

void SaveEepromFile(const std::string& path, const SerialEeprom::Words& words) {
  const std::string temporary = path + ".tmp" + std::to_string(::getpid());
  {
    std::ofstream out(temporary, std::ios::trunc);
    if (!out) throw EepromFileError(temporary + ": cannot create: " + std::strerror(errno));
    out << "# serial EEPROM, 64 words (word 0 first)\n";
    char text[8];
    for (int i = 0; i < SerialEeprom::kWords; ++i) {
      std::snprintf(text, sizeof text, "%04x", words[i]);
      out << text << (i % 8 == 7 ? '\n' : ' ');
    }
    out.flush();
    if (!out) {
      std::remove(temporary.c_str());
      throw EepromFileError(temporary + ": cannot write");
    }
  }
  if (std::rename(temporary.c_str(), path.c_str()) != 0) {
    const std::string reason = std::strerror(errno);
    std::remove(temporary.c_str());
    throw EepromFileError(path + ": cannot replace: " + reason);
  }
}

}  // namespace sim
