#include "app/hex_text.h"

namespace {

int DigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Scans from `pos`; answers the number, sets `pos` after the last digit and
// `digits` to their count (leading zeros included).
std::optional<uint32_t> Scan(std::string_view text, size_t& pos, int& digits) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  // "0x" counts as a prefix only when a digit follows; "0xg" reads as 0.
  if (pos + 2 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X') &&
      DigitValue(text[pos + 2]) >= 0)
    pos += 2;
  uint64_t value = 0;
  digits = 0;
  bool overflow = false;
  for (; pos < text.size(); ++pos) {
    const int d = DigitValue(text[pos]);
    if (d < 0) break;
    value = value * 16 + static_cast<uint64_t>(d);
    if (value > 0xFFFFFFFFull) {
      overflow = true;
      value &= 0xFFFFFFFFull;  // keep scanning the digits; the result is refused
    }
    ++digits;
  }
  if (digits == 0 || overflow) return std::nullopt;
  return static_cast<uint32_t>(value);
}

}  // namespace

std::optional<uint32_t> ScanHex(std::string_view text) {
  size_t pos = 0;
  int digits = 0;
  return Scan(text, pos, digits);
}

std::optional<uint32_t> ParseWholeHex(std::string_view text, int maxDigits) {
  size_t pos = 0;
  int digits = 0;
  const std::optional<uint32_t> value = Scan(text, pos, digits);
  if (!value) return std::nullopt;
  // Leading zeros do not count against the limit.
  size_t significant = 0;
  for (size_t i = pos - static_cast<size_t>(digits); i < pos; ++i)
    if (significant > 0 || text[i] != '0') ++significant;
  if (static_cast<int>(significant) > maxDigits) return std::nullopt;
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  if (pos != text.size()) return std::nullopt;
  return value;
}
