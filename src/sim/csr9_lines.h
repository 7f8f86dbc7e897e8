#pragma once
#include <cstdint>

namespace sim {

class SerialEeprom;
class Lxt97xPhy;

// The serial-ROM and MII management lines behind the DEC 21143's CSR9.
//
// Write side: bits 0 (chip select), 1 (clock) and 2 (data in) reach the EEPROM
// only while the serial-ROM path is selected, that is bit 11 (SR) with bit 14
// (read operation) or bit 13 (write operation); otherwise the EEPROM sees all
// three lines low. Bit 16 is MDC, bit 17 the data the chip drives on MDIO and
// bit 18 releases MDIO to the PHY (MII read mode).
//
// Read side: the control bits as last written, bit 3 the EEPROM's data out while
// the serial-ROM path is selected, and bit 19 the MDIO line: what the chip drives
// (unless released), ANDed with what the PHY drives, pulled up to 1 when nobody
// drives it.
class Csr9Lines {
 public:
  static constexpr uint32_t kSromChipSelect = 0x00001;
  static constexpr uint32_t kSromClock = 0x00002;
  static constexpr uint32_t kSromDataIn = 0x00004;
  static constexpr uint32_t kSromDataOut = 0x00008;
  static constexpr uint32_t kSromSelect = 0x00800;
  static constexpr uint32_t kWriteOperation = 0x02000;
  static constexpr uint32_t kReadOperation = 0x04000;
  static constexpr uint32_t kMdc = 0x10000;
  static constexpr uint32_t kMdioOut = 0x20000;
  static constexpr uint32_t kMiiRead = 0x40000;
  static constexpr uint32_t kMdioIn = 0x80000;

  // The board's management bus: as built, with nothing attached (all ones), or
  // with the data line shorted to ground (all zeros).
  enum class MdioFault { None, NothingAttached, Shorted };

  // Either device may be null (not fitted).
  Csr9Lines(SerialEeprom* eeprom, Lxt97xPhy* phy) : eeprom_(eeprom), phy_(phy) {}

  void write(uint32_t value, uint64_t nowMicros);
  uint32_t read(uint64_t nowMicros) const;

  void setMdioFault(MdioFault fault) { mdioFault_ = fault; }
  MdioFault mdioFault() const { return mdioFault_; }
  uint32_t lastWrite() const { return latched_; }

 private:
  bool sromSelected() const;
  bool mdioLine() const;

  SerialEeprom* eeprom_;
  Lxt97xPhy* phy_;
  MdioFault mdioFault_ = MdioFault::None;
  uint32_t latched_ = 0;
};

}  // namespace sim
