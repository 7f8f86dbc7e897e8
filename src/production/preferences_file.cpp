#include "production/preferences_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// Backslashes written for the Windows layout name the same directories here.
std::string NativePath(const std::string& path) {
  std::string native = path;
  for (char& c : native) {
    if (c == '\\') c = '/';
  }
  return native;
}

// One line of the file as read, with its terminator, so that lines we do not
// touch are written back exactly.
struct Line {
  enum class Kind { kOther, kSection, kKey };
  std::string raw;
  Kind kind = Kind::kOther;
  std::string name;       // section or key name
  std::string value;      // key value after trimming and unquoting
  size_t valueStart = 0;  // offset in raw where the value text begins
};

std::string_view ContentOf(const std::string& raw) {
  std::string_view s(raw);
  if (!s.empty() && s.back() == '\n') s.remove_suffix(1);
  if (!s.empty() && s.back() == '\r') s.remove_suffix(1);
  return s;
}

void Classify(Line& line) {
  std::string_view content = ContentOf(line.raw);
  std::string_view trimmed = TrimBlanks(content);
  if (trimmed.empty() || trimmed.front() == ';' || trimmed.front() == '#') return;
  if (trimmed.front() == '[') {
    std::string_view inner = trimmed.substr(1);
    size_t close = inner.find(']');
    if (close != std::string_view::npos) inner = inner.substr(0, close);
    line.kind = Line::Kind::kSection;
    line.name = TrimBlanks(inner);
    return;
  }
  size_t eq = content.find('=');
  if (eq == std::string_view::npos) return;
  line.kind = Line::Kind::kKey;
  line.name = TrimBlanks(content.substr(0, eq));
  size_t start = eq + 1;
  while (start < content.size() && IsBlank(content[start])) ++start;
  line.valueStart = start;
  std::string_view value = TrimBlanks(content.substr(start));
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  line.value = value;
}

std::vector<Line> SplitLines(const std::string& text) {
  std::vector<Line> lines;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    size_t end = (nl == std::string::npos) ? text.size() : nl + 1;
    Line line;
    line.raw = text.substr(pos, end - pos);
    Classify(line);
    lines.push_back(std::move(line));
    pos = end;
  }
  return lines;
}

// The lines [begin, end) after the header of the first section with that name.
struct SectionRange {
  size_t header = 0;
  size_t begin = 0;
  size_t end = 0;
};

std::optional<SectionRange> FindSection(const std::vector<Line>& lines, std::string_view name) {
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].kind != Line::Kind::kSection || !SameName(lines[i].name, name)) continue;
    size_t end = i + 1;
    while (end < lines.size() && lines[end].kind != Line::Kind::kSection) ++end;
    return SectionRange{i, i + 1, end};
  }
  return std::nullopt;
}

enum class ReadStatus { kOk, kMissing, kError };

// Reads the whole file. A file that does not exist is kMissing; anything else
// that keeps us from reading a regular file is kError, so a write never mistakes
// an unreadable file for an empty one.
ReadStatus ReadWholeFile(const std::string& nativePath, std::string& text, mode_t* mode) {
  text.clear();
  int fd = ::open(nativePath.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return errno == ENOENT ? ReadStatus::kMissing : ReadStatus::kError;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return ReadStatus::kError;
  }
  if (mode) *mode = st.st_mode & 07777;
  char buffer[4096];
  for (;;) {
    ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      ::close(fd);
      return ReadStatus::kError;
    }
    if (n == 0) break;
    text.append(buffer, static_cast<size_t>(n));
  }
  ::close(fd);
  return ReadStatus::kOk;
}

// The value of the key, or nothing when the file, the section or the key is missing.
std::optional<std::string> LookUp(const std::string& path, const std::string& section,
                                  const char* key) {
  if (!key) return std::nullopt;
  std::string text;
  if (ReadWholeFile(NativePath(path), text, nullptr) != ReadStatus::kOk) return std::nullopt;
  std::vector<Line> lines = SplitLines(text);
  std::optional<SectionRange> range = FindSection(lines, section);
  if (!range) return std::nullopt;
  for (size_t i = range->begin; i < range->end; ++i) {
    if (lines[i].kind == Line::Kind::kKey && SameName(lines[i].name, key)) {
      return lines[i].value;
    }
  }
  return std::nullopt;
}

// What the profile read hands back: the value or the default, cut to `limit`
// characters; empty means nothing was found.
std::string ProfileRead(const std::string& path, const std::string& section, const char* key,
                        const char* defaultText, size_t limit) {
  if (!key) return std::string();  // no key to ask for, so no default either
  std::optional<std::string> found = LookUp(path, section, key);
  std::string text = found ? *found : std::string(defaultText ? defaultText : "");
  if (text.size() > limit) text.resize(limit);
  return text;
}

// atoi's reading (blanks, sign, digits, 0 when there are none), clamped to the int
// range because atoi itself is undefined for out-of-range text.
int DecimalValue(const std::string& text) {
  const char* p = text.c_str();
  while (*p == ' ' || (*p >= '\t' && *p <= '\r')) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  const int64_t limit = static_cast<int64_t>(INT_MAX) + 1;
  int64_t number = 0;
  for (; *p >= '0' && *p <= '9'; ++p) {
    number = number * 10 + (*p - '0');
    if (number > limit) number = limit;
  }
  if (negative) number = -number;
  if (number > INT_MAX) number = INT_MAX;
  return static_cast<int>(number);
}

bool HasLineBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool StorableKey(std::string_view key) {
  if (key.empty() || HasLineBreak(key) || key.find('=') != std::string_view::npos) return false;
  if (TrimBlanks(key).size() != key.size()) return false;
  return key.front() != '[' && key.front() != ';' && key.front() != '#';
}

bool StorableSection(std::string_view section) {
  if (HasLineBreak(section) || section.find(']') != std::string_view::npos) return false;
  return TrimBlanks(section).size() == section.size();
}

// Quotes the value when reading it back would otherwise lose blanks or quotes.
std::string EncodeValue(std::string_view value) {
  bool blanksAround = IsBlank(value.front()) || IsBlank(value.back());
  bool looksQuoted = value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front();
  if (blanksAround || looksQuoted) return "\"" + std::string(value) + "\"";
  return std::string(value);
}

std::string LineEndingOf(const std::vector<Line>& lines) {
  for (const Line& line : lines) {
    if (!line.raw.empty() && line.raw.back() == '\n') {
      return (line.raw.size() >= 2 && line.raw[line.raw.size() - 2] == '\r') ? "\r\n" : "\n";
    }
  }
  return "\n";
}

bool EndsWithNewline(const std::string& raw) { return !raw.empty() && raw.back() == '\n'; }

// Builds the new file text. Returns false when nothing needs to change.
bool EditText(const std::string& oldText, const std::string& section, const std::string& key,
              const char* value, std::string& newText) {
  std::vector<Line> lines = SplitLines(oldText);
  const std::string eol = LineEndingOf(lines);
  const bool erase = (value == nullptr || *value == '\0');
  std::optional<SectionRange> range = FindSection(lines, section);
  std::vector<std::string> raws;
  raws.reserve(lines.size() + 4);
  for (const Line& line : lines) raws.push_back(line.raw);

  if (erase) {
    if (!range) return false;
    bool removed = false;
    for (size_t i = range->end; i-- > range->begin;) {
      if (lines[i].kind == Line::Kind::kKey && SameName(lines[i].name, key)) {
        raws.erase(raws.begin() + static_cast<std::ptrdiff_t>(i));
        removed = true;
      }
    }
    if (!removed) return false;
  } else {
    const std::string encoded = EncodeValue(value);
    bool done = false;
    if (range) {
      size_t lastKey = range->header;
      for (size_t i = range->begin; i < range->end && !done; ++i) {
        if (lines[i].kind != Line::Kind::kKey) continue;
        lastKey = i;
        if (!SameName(lines[i].name, key)) continue;
        // Keep the key's own spelling and spacing; replace only the value text.
        const std::string& raw = lines[i].raw;
        std::string terminator(raw.substr(ContentOf(raw).size()));
        raws[i] = raw.substr(0, lines[i].valueStart) + encoded + terminator;
        done = true;
      }
      if (!done) {
        if (!EndsWithNewline(raws[lastKey])) raws[lastKey] += eol;
        raws.insert(raws.begin() + static_cast<std::ptrdiff_t>(lastKey) + 1,
                    key + "=" + encoded + eol);
        done = true;
      }
    }
    if (!done) {
      if (!raws.empty()) {
        if (!EndsWithNewline(raws.back())) raws.back() += eol;
        if (!TrimBlanks(ContentOf(raws.back())).empty()) raws.push_back(eol);
      }
      raws.push_back("[" + section + "]" + eol);
      raws.push_back(key + "=" + encoded + eol);
    }
  }
  newText.clear();
  for (const std::string& raw : raws) newText += raw;
  return newText != oldText;
}

bool WriteAll(int fd, const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    ssize_t n = ::write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// Writes the text to a new file beside the target and renames it over the target,
// so a reader or a crash sees either the old file or the new one, never a mix.
bool ReplaceFile(const std::string& target, const std::string& text,
                 std::optional<mode_t> keepMode) {
  size_t slash = target.rfind('/');
  std::string dir = (slash == std::string::npos) ? "." : target.substr(0, slash + 1);
  std::string base = (slash == std::string::npos) ? target : target.substr(slash + 1);
  std::string prefix = (slash == std::string::npos ? std::string() : dir) + "." + base + ".tmp";

  static std::atomic<unsigned> counter{0};
  std::string temp;
  int fd = -1;
  for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%ld.%u", static_cast<long>(::getpid()), counter++);
    temp = prefix + suffix;
    fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno != EEXIST) return false;
  }
  if (fd < 0) return false;

  bool ok = WriteAll(fd, text);
  if (ok && keepMode) ok = ::fchmod(fd, *keepMode) == 0;
  if (ok) ok = ::fsync(fd) == 0;
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  // Make the rename itself durable.
  int dirFd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace

PreferencesFile::PreferencesFile() = default;

PreferencesFile::PreferencesFile(const char* fileName, const char* sectionName) {
  SetSection(sectionName);
  SetFile(fileName);
}

PreferencesFile::~PreferencesFile() = default;

void PreferencesFile::SetFile(const char* fileName) {
  if (!fileName) return;
  std::string name(fileName);
  std::string built = (name.find_first_of("\\/") != std::string::npos) ? name : ".\\" + name;
  if (built.size() > kMaxPath) built.resize(kMaxPath);
  size_t dot = built.rfind('.');
  size_t sep = built.find_last_of("\\/");
  if (dot == std::string::npos || (sep != std::string::npos && dot < sep)) {
    built += std::string(".ini").substr(0, kMaxPath - built.size());
  }
  path = built;
}

void PreferencesFile::SetSection(const char* sectionName) {
  if (!sectionName) return;
  section = sectionName;
  if (section.size() > kMaxSection) section.resize(kMaxSection);
}

bool PreferencesFile::FileExists() const {
  int fd = ::open(NativePath(path).c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat st;
  bool regular = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  ::close(fd);
  return regular;
}

bool PreferencesFile::ReadString(const char* key, std::string& out,
                                 const char* defaultText) const {
  std::string text = ProfileRead(path, section, key, defaultText, kMaxString);
  if (text.empty()) return false;
  out = text;
  return true;
}

bool PreferencesFile::ReadInt(const char* key, int& out, int defaultValue) const {
  char defaultText[16];
  std::snprintf(defaultText, sizeof defaultText, "%d", defaultValue);
  std::string text = ProfileRead(path, section, key, defaultText, kMaxIntText);
  if (text.empty()) return false;
  out = DecimalValue(text);
  return true;
}

bool PreferencesFile::ReadInt(const char* key, int& out) const {
  std::string text = ProfileRead(path, section, key, "", kMaxIntText);
  if (text.empty()) return false;
  out = DecimalValue(text);
  return true;
}

bool PreferencesFile::WriteString(const char* key, const char* value) {
  if (!key || !StorableKey(key) || !StorableSection(section)) return false;
  if (value && HasLineBreak(value)) return false;

  std::string target = NativePath(path);
  struct stat linkInfo;
  if (::lstat(target.c_str(), &linkInfo) == 0 && S_ISLNK(linkInfo.st_mode)) {
    char* resolved = ::realpath(target.c_str(), nullptr);
    if (!resolved) return false;
    target = resolved;
    std::free(resolved);
  }

  std::string oldText;
  mode_t mode = 0;
  ReadStatus status = ReadWholeFile(target, oldText, &mode);
  if (status == ReadStatus::kError) return false;
  // Renaming would get past a file we may not write; refuse as an in-place write would.
  if (status == ReadStatus::kOk) {
    int probe = ::open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NONBLOCK);
    if (probe < 0) return false;
    ::close(probe);
  }

  std::string newText;
  if (!EditText(oldText, section, key, value, newText)) return true;
  return ReplaceFile(target, newText,
                     status == ReadStatus::kOk ? std::optional<mode_t>(mode) : std::nullopt);
}

bool PreferencesFile::WriteInt(const char* key, int value) {
  char text[16];
  std::snprintf(text, sizeof text, "%d", value);
  return WriteString(key, text);
}
