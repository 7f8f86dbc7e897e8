#include "sim/csr9_lines.h"

#include "sim/lxt97x_phy.h"
#include "sim/serial_eeprom.h"

namespace sim {

namespace {

// Bits that read back as written: the serial-ROM lines and path selection, the
// boot-ROM bits beside them, and the MII clock, data out and mode.
constexpr uint32_t kReadBack = 0x00077C07;

}  // namespace

bool Csr9Lines::sromSelected() const {
  return (latched_ & kSromSelect) != 0 && (latched_ & (kReadOperation | kWriteOperation)) != 0;
}

bool Csr9Lines::mdioLine() const {
  if (mdioFault_ == MdioFault::Shorted) return false;
  bool chip = (latched_ & kMiiRead) ? true : (latched_ & kMdioOut) != 0;
  if (mdioFault_ == MdioFault::NothingAttached || phy_ == nullptr || !phy_->drivesMdio()) return chip;
  return chip && phy_->mdioOut();
}

void Csr9Lines::write(uint32_t value, uint64_t nowMicros) {
  bool mdcWasHigh = (latched_ & kMdc) != 0;
  latched_ = value;
  if (eeprom_ != nullptr) {
    bool selected = sromSelected();
    eeprom_->setPins(selected && (value & kSromChipSelect), selected && (value & kSromClock),
                     selected && (value & kSromDataIn), nowMicros);
  }
  // The PHY samples the line on the rising edge and answers just after it.
  if (!mdcWasHigh && (value & kMdc) && phy_ != nullptr && mdioFault_ != MdioFault::NothingAttached) {
    phy_->mdcRisingEdge(mdioLine());
  }
}

uint32_t Csr9Lines::read(uint64_t nowMicros) const {
  uint32_t value = latched_ & kReadBack;
  if (sromSelected() && (eeprom_ == nullptr || eeprom_->dataOut(nowMicros))) value |= kSromDataOut;
  if (mdioLine()) value |= kMdioIn;
  return value;
}

}  // namespace sim
