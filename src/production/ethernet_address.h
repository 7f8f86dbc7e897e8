#pragma once
#include <array>
#include <cstdint>
#include <span>
#include <string>

// A 48-bit Ethernet (MAC) address held both as six bytes in transmission order and
// as an integer whose low 48 bits are those bytes read big-endian. Every operation
// keeps the two views in step. Arithmetic runs on the full 64-bit integer, so after
// a carry out of bit 47 the integer holds bits the bytes do not show; GetValue
// reports the 48-bit view while comparisons between addresses see all 64 bits.
class EthernetAddress {
 public:
  EthernetAddress();
  // Same as SetValue: bits above 47 are dropped.
  explicit EthernetAddress(uint64_t value);
  EthernetAddress(const EthernetAddress&) = default;
  EthernetAddress& operator=(const EthernetAddress&) = default;
  virtual ~EthernetAddress();

  void SetBytes(std::span<const uint8_t, 6> src);
  const std::array<uint8_t, 6>& GetBytes() const { return bytes; }
  uint8_t GetByte(int index) const;             // 0xFF outside 0..5
  void SetByte(int index, uint8_t byte);        // ignored outside 0..5
  uint16_t GetWord(int index) const;            // 0xFFFF outside 0..2
  void SetWord(int index, uint16_t word);       // ignored outside 0..2

  void SetValue(uint64_t newValue);
  uint64_t GetValue() const;                    // low 48 bits only
  uint64_t GetFullValue() const { return value; }  // including bits above 47
  uint32_t GetPart(int part) const;             // 0xFFFF for parts other than 0, 1
  void SetPart(int part, uint32_t bits);        // ignored for parts other than 0, 1

  // "xx:xx:xx:xx:xx:xx", lower case.
  std::string Format() const;
  // Reads six hexadecimal fields separated by colons, each converted as the C
  // library's %x does; bytes read before a failure stay stored. True only when all
  // six fields converted. A null text reads as an empty one.
  bool Parse(const char* text);
  bool Parse(const std::string& text) { return Parse(text.c_str()); }

  void operator++();
  void operator++(int);
  void operator--();
  void operator--(int);
  EthernetAddress& operator+=(int32_t delta);
  EthernetAddress& operator-=(int32_t delta);
  EthernetAddress& operator+=(const EthernetAddress& other);
  EthernetAddress& operator-=(const EthernetAddress& other);
  EthernetAddress operator+(int32_t delta) const;
  EthernetAddress operator-(int32_t delta) const;
  EthernetAddress operator+(const EthernetAddress& other) const;
  EthernetAddress operator-(const EthernetAddress& other) const;

  bool operator==(const EthernetAddress& other) const { return value == other.value; }
  bool operator!=(const EthernetAddress& other) const { return value != other.value; }
  // Against an integer only its low 48 bits count.
  bool operator==(uint64_t other) const { return value == (other & kMask48); }
  bool operator!=(uint64_t other) const { return value != (other & kMask48); }
  bool operator<(const EthernetAddress& other) const { return value < other.value; }
  bool operator>(const EthernetAddress& other) const { return value > other.value; }
  bool operator<(uint64_t other) const { return value < other; }
  bool operator>(uint64_t other) const { return value > other; }

 private:
  static constexpr uint64_t kMask48 = 0x0000FFFFFFFFFFFFull;

  void ValueFromBytes();
  void BytesFromValue();

  std::array<uint8_t, 6> bytes{};
  uint64_t value = 0;
};
