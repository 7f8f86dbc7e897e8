#pragma once
#include <stdexcept>
#include <string>

#include "production/ethernet_address.h"

// The Ethernet addresses a production run hands out, kept in a settings file:
//
//   [MAC Pool]
//   Next Address=00:11:22:33:44:55
//   Last Address=00:11:22:33:ff:ff      (optional: the pool's last address)
//
// The next address is taken for a board; only when that board is programmed
// and verified is the one after it stored, so an address is never lost to a
// failed board and never handed out twice.
class MacPool {
 public:
  static constexpr const char* kSection = "MAC Pool";
  static constexpr const char* kNextKey = "Next Address";
  static constexpr const char* kLastKey = "Last Address";
  // Stored once the address after ff:ff:ff:ff:ff:ff would be needed.
  static constexpr const char* kUsedUp = "used up";

  struct Error : std::runtime_error {
    using std::runtime_error::runtime_error;
  };

  explicit MacPool(std::string file);

  // The address to program next. Throws Error when the file, the section or the
  // key is missing, a value is not an address, or the pool is used up.
  EthernetAddress Next() const;
  // Stores the address after `used` as the next one, and reads it back. Throws
  // Error when the file could not be written.
  void Advance(const EthernetAddress& used);

  const std::string& File() const { return file_; }

 private:
  std::string file_;
};
