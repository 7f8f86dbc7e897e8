#include "production/ethernet_address.h"

#include <cstdio>

namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// One %x conversion as glibc performs it into an unsigned int: blanks, an optional
// sign, an optional 0x prefix, hex digits. A bare "0x" converts as 0 with both
// characters consumed. The magnitude is accumulated like strtoul (saturating on
// overflow, then negated for '-'); we keep only the low byte the address needs.
// Written out rather than calling sscanf because an out-of-range %x is undefined
// behaviour in C, and operator input must never reach that.
bool ConvertHexField(const char*& p, uint8_t& out) {
  const char* s = p;
  while (IsCSpace(*s)) ++s;
  bool negative = false;
  if (*s == '+' || *s == '-') {
    negative = (*s == '-');
    ++s;
  }
  bool converted = false;
  if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
    s += 2;
    converted = true;  // "0x" alone is a valid 0
  }
  uint64_t magnitude = 0;
  bool overflow = false;
  for (int d; (d = HexDigit(*s)) >= 0; ++s) {
    converted = true;
    if (magnitude > (UINT64_MAX >> 4)) overflow = true;
    magnitude = (magnitude << 4) | static_cast<uint64_t>(d);
  }
  if (!converted) return false;
  uint64_t number = overflow ? UINT64_MAX : (negative ? 0 - magnitude : magnitude);
  out = static_cast<uint8_t>(number & 0xFF);
  p = s;
  return true;
}

}  // namespace

EthernetAddress::EthernetAddress() = default;

EthernetAddress::EthernetAddress(uint64_t newValue) { SetValue(newValue); }

EthernetAddress::~EthernetAddress() = default;

void EthernetAddress::ValueFromBytes() {
  value = 0;
  for (uint8_t b : bytes) value = (value << 8) | b;
}

void EthernetAddress::BytesFromValue() {
  for (int i = 0; i < 6; ++i) bytes[i] = static_cast<uint8_t>(value >> (40 - 8 * i));
}

void EthernetAddress::SetBytes(std::span<const uint8_t, 6> src) {
  for (int i = 0; i < 6; ++i) bytes[i] = src[i];
  ValueFromBytes();
}

uint8_t EthernetAddress::GetByte(int index) const {
  if (index < 0 || index > 5) return 0xFF;
  return bytes[index];
}

void EthernetAddress::SetByte(int index, uint8_t byte) {
  if (index < 0 || index > 5) return;
  bytes[index] = byte;
  ValueFromBytes();
}

uint16_t EthernetAddress::GetWord(int index) const {
  if (index < 0 || index > 2) return 0xFFFF;
  return static_cast<uint16_t>((bytes[2 * index] << 8) | bytes[2 * index + 1]);
}

void EthernetAddress::SetWord(int index, uint16_t word) {
  if (index < 0 || index > 2) return;
  bytes[2 * index] = static_cast<uint8_t>(word >> 8);
  bytes[2 * index + 1] = static_cast<uint8_t>(word);
  ValueFromBytes();
}

void EthernetAddress::SetValue(uint64_t newValue) {
  value = newValue & kMask48;
  BytesFromValue();
}

uint64_t EthernetAddress::GetValue() const { return value & kMask48; }

uint32_t EthernetAddress::GetPart(int part) const {
  if (part == 0) return static_cast<uint32_t>(value >> 32);
  if (part == 1) return static_cast<uint32_t>(value);
  return 0xFFFF;
}

void EthernetAddress::SetPart(int part, uint32_t bits) {
  if (part == 0) {
    value = (static_cast<uint64_t>(bits & 0xFFFF) << 32) | (value & 0xFFFFFFFFull);
  } else if (part == 1) {
    value = (value & ~0xFFFFFFFFull) | bits;
  } else {
    return;
  }
  BytesFromValue();
}

std::string EthernetAddress::Format() const {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1],
                bytes[2], bytes[3], bytes[4], bytes[5]);
  return text;
}

bool EthernetAddress::Parse(const char* text) {
  const char* p = text ? text : "";
  int fields = 0;
  while (fields < 6) {
    if (fields > 0) {
      if (*p != ':') break;
      ++p;
    }
    if (!ConvertHexField(p, bytes[fields])) break;
    ++fields;
  }
  ValueFromBytes();
  return fields == 6;
}

void EthernetAddress::operator++() {
  ++value;
  BytesFromValue();
}

void EthernetAddress::operator++(int) { ++*this; }

void EthernetAddress::operator--() {
  --value;
  BytesFromValue();
}

void EthernetAddress::operator--(int) { --*this; }

EthernetAddress& EthernetAddress::operator+=(int32_t delta) {
  value += static_cast<uint64_t>(static_cast<int64_t>(delta));
  BytesFromValue();
  return *this;
}

EthernetAddress& EthernetAddress::operator-=(int32_t delta) {
  value -= static_cast<uint64_t>(static_cast<int64_t>(delta));
  BytesFromValue();
  return *this;
}

EthernetAddress& EthernetAddress::operator+=(const EthernetAddress& other) {
  value += other.value;
  BytesFromValue();
  return *this;
}

EthernetAddress& EthernetAddress::operator-=(const EthernetAddress& other) {
  value -= other.value;
  BytesFromValue();
  return *this;
}

EthernetAddress EthernetAddress::operator+(int32_t delta) const {
  EthernetAddress result(*this);
  result += delta;
  return result;
}

EthernetAddress EthernetAddress::operator-(int32_t delta) const {
  EthernetAddress result(*this);
  result -= delta;
  return result;
}

EthernetAddress EthernetAddress::operator+(const EthernetAddress& other) const {
  EthernetAddress result(*this);
  result += other;
  return result;
}

EthernetAddress EthernetAddress::operator-(const EthernetAddress& other) const {
  EthernetAddress result(*this);
  result -= other;
  return result;
}
