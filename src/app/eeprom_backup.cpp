#include "app/eeprom_backup.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace eeprom_backup {

namespace {

std::string Reason() { return std::strerror(errno); }

std::string Contents(const EepromWords& words, const std::string& about) {
  std::string text = "# EEPROM backup: 64 words, word 0 first\n";
  std::istringstream lines(about);
  for (std::string line; std::getline(lines, line);) text += "# " + line + "\n";
  char line[96];
  for (int w = 0; w < 64; ++w) {
    const char* label = EEPROMDialog::WordLabel(w);
    std::snprintf(line, sizeof line, "%04x  # %02x%s%s\n", words[static_cast<size_t>(w)], w, *label ? " " : "", label);
    text += line;
  }
  return text;
}

// Creates the file only if the name is free; false when it is taken.
bool WriteNew(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
  if (fd < 0) {
    if (errno == EEXIST) return false;
    throw BackupError(path + ": cannot create the backup file: " + Reason());
  }
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      const std::string reason = Reason();
      ::close(fd);
      ::unlink(path.c_str());
      throw BackupError(path + ": cannot write the backup file: " + reason);
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd) != 0 || ::close(fd) != 0) {
    const std::string reason = Reason();
    ::unlink(path.c_str());
    throw BackupError(path + ": cannot write the backup file: " + reason);
  }
  return true;
}

}  // namespace

std::string FileName(const EthernetAddress& address, int64_t unixSeconds) {
  const std::time_t t = static_cast<std::time_t>(unixSeconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%dT%H%M%S", &utc);
  const auto& b = address.GetBytes();
  char name[96];
  std::snprintf(name, sizeof name, "eeprom-backup-%02x%02x%02x%02x%02x%02x-%s.txt", b[0], b[1], b[2], b[3], b[4], b[5],
                stamp);
  return name;
}

std::string Write(const std::string& directory, const EthernetAddress& address, int64_t unixSeconds,
                  const EepromWords& words, const std::string& about) {
  namespace fs = std::filesystem;
  const fs::path dir = directory.empty() ? fs::path(".") : fs::path(directory);
  std::error_code error;
  if (!fs::is_directory(dir, error)) throw BackupError(dir.string() + ": no such directory for the backup file");
  const std::string name = FileName(address, unixSeconds);
  const std::string stem = name.substr(0, name.size() - 4);
  const std::string text = Contents(words, about);
  for (int n = 1; n < 1000; ++n) {
    const std::string path = (dir / (n == 1 ? name : stem + "-" + std::to_string(n) + ".txt")).string();
    if (!WriteNew(path, text)) continue;
    // The new name is durable too once the directory is synced.
    if (const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
      ::fsync(fd);
      ::close(fd);
    }
    return path;
  }
  throw BackupError((dir / name).string() + ": too many backups under this name");
}

EepromWords Read(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw BackupError(path + ": cannot open the backup file: " + Reason());
  EepromWords words{};
  size_t count = 0;
  int lineNumber = 0;
  for (std::string line; std::getline(in, line);) {
    ++lineNumber;
    if (const size_t hash = line.find('#'); hash != std::string::npos) line.erase(hash);
    std::istringstream tokens(line);
    for (std::string token; tokens >> token;) {
      char* end = nullptr;
      errno = 0;
      const unsigned long value = std::strtoul(token.c_str(), &end, 16);
      if (*end != '\0' || errno != 0 || value > 0xFFFF || token[0] == '-' || token[0] == '+')
        throw BackupError(path + ":" + std::to_string(lineNumber) + ": \"" + token + "\" is not a 16-bit hexadecimal word");
      if (count == words.size()) throw BackupError(path + ":" + std::to_string(lineNumber) + ": more than 64 words");
      words[count++] = static_cast<uint16_t>(value);
    }
  }
  if (in.bad()) throw BackupError(path + ": cannot read the backup file");
  if (count != words.size()) throw BackupError(path + ": holds " + std::to_string(count) + " words, not 64");
  return words;
}

}  // namespace eeprom_backup
