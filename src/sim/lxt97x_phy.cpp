#include "sim/lxt97x_phy.h"

namespace sim {

namespace {

// Control register (0).
constexpr uint16_t kReset = 0x8000;
constexpr uint16_t kSpeed100 = 0x2000;
constexpr uint16_t kAutoNegEnable = 0x1000;
constexpr uint16_t kFullDuplex = 0x0100;
// Loopback, speed, auto-negotiation, power down, isolate, duplex, collision test;
// restart (bit 9) clears itself at once and the low bits are reserved.
constexpr uint16_t kControlWritable = 0x7D80;

// Status register (1): 100BASE-TX full/half, 10BASE-T full/half, auto-negotiation
// ability, extended capabilities; preamble required.
constexpr uint16_t kStatusAbilities = 0x7809;
constexpr uint16_t kStatusLink = 0x0004;
constexpr uint16_t kStatusAutoNegDone = 0x0020;

constexpr uint16_t kSelector = 0x0001;  // IEEE 802.3
constexpr uint16_t kAbilities = 0x01E0;

constexpr int kMinPreamble = 32;

}  // namespace

Lxt97xPhy::Lxt97xPhy(PhyModel model, PhyMedia media, int address, int revision)
    : model_(model),
      media_(media),
      address_(address & 0x1F),
      revision_((revision < 0 ? (model == PhyModel::Lxt970 ? 3 : 2) : revision) & 0xF) {
  reset();
}

void Lxt97xPhy::reset() {
  bool fx = media_ == PhyMedia::Fx;
  control_ = fx ? kSpeed100 : static_cast<uint16_t>(kSpeed100 | kAutoNegEnable | kFullDuplex);
  advertisement_ = fx ? kSelector : static_cast<uint16_t>(kAbilities | kSelector);
  mirror_ = 0;
  portConfig_ = fx ? 0x0085 : 0x0084;  // CRS select, pre-emphasis; bit 0 selects fibre
  config_ = fx ? 0x0104 : 0x0000;      // bit 8 and bit 2 are the fibre settings
  intEnable_ = 0;
  ledConfig_ = 0x0422;
  lastLink_ = linkUp();
  linkLatchedLow_ = false;
  linkChanged_ = false;
}

// ---- Link and negotiation ----

bool Lxt97xPhy::autoNegotiating() const { return media_ == PhyMedia::Tx && (control_ & kAutoNegEnable) != 0; }

uint16_t Lxt97xPhy::resolvedAbility() const {
  if (partner_ == 0) {
    // Parallel detection finds the partner's speed but never full duplex.
    if (advertisement_ & 0x0080) return 0x0080;
    return advertisement_ & 0x0020;
  }
  // Highest priority first: 100 full, 100 half, 10 full, 10 half.
  static constexpr uint16_t kPriority[] = {0x0100, 0x0080, 0x0040, 0x0020};
  uint16_t common = advertisement_ & partner_ & kAbilities;
  for (uint16_t bit : kPriority) {
    if (common & bit) return bit;
  }
  return 0;
}

bool Lxt97xPhy::linkUp() const {
  if (!cableLink_ || faults_.linkDown || poweredDown()) return false;
  return !autoNegotiating() || resolvedAbility() != 0;
}

bool Lxt97xPhy::speed100() const {
  if (media_ == PhyMedia::Fx) return true;
  if (autoNegotiating() && resolvedAbility() != 0) return (resolvedAbility() & 0x0180) != 0;
  return (control_ & kSpeed100) != 0;
}

bool Lxt97xPhy::fullDuplex() const {
  if (autoNegotiating() && resolvedAbility() != 0) return (resolvedAbility() & 0x0140) != 0;
  return (control_ & kFullDuplex) != 0;
}

bool Lxt97xPhy::interruptPending() const {
  if (!(intEnable_ & 0x0002)) return false;  // INTEN
  if (intEnable_ & 0x0001) return true;      // TINT forces it
  bool linkEnabled = model_ == PhyModel::Lxt970 || (intEnable_ & 0x0010) != 0;
  return linkChanged_ && linkEnabled;
}

void Lxt97xPhy::updateLink() {
  bool now = linkUp();
  if (now == lastLink_) return;
  linkChanged_ = true;
  if (!now) linkLatchedLow_ = true;
  lastLink_ = now;
}

void Lxt97xPhy::setLink(bool up) {
  cableLink_ = up;
  updateLink();
}

void Lxt97xPhy::setPartnerAbility(uint16_t ability) {
  partner_ = ability;
  updateLink();
}

void Lxt97xPhy::setFaults(const Faults& faults) {
  faults_ = faults;
  updateLink();
}

// ---- Registers ----

uint16_t Lxt97xPhy::status() const {
  uint16_t v = kStatusAbilities;
  bool link = linkUp();
  if (link && !linkLatchedLow_) v |= kStatusLink;
  if (link && autoNegotiating()) v |= kStatusAutoNegDone;
  return v;
}

uint16_t Lxt97xPhy::value(int reg) const {
  bool link = linkUp();
  bool negotiated = link && autoNegotiating();
  switch (reg) {
    case 0:
      return control_;
    case 1:
      return status();
    case 2:
      return model_ == PhyModel::Lxt970 ? 0x7810 : 0x0013;
    case 3:
      return static_cast<uint16_t>((model_ == PhyModel::Lxt970 ? 0x0000 : 0x78E0) | revision_);
    case 4:
      return advertisement_;
    case 5:
      return negotiated ? partner_ : 0;
    case 6:
      return (negotiated && partner_ != 0) ? 0x0001 : 0;  // partner can negotiate
    default:
      break;
  }
  if (model_ == PhyModel::Lxt970) {
    switch (reg) {
      case 16:
        return mirror_;
      case 17:
        return intEnable_;
      case 18:
        return static_cast<uint16_t>((interruptPending() ? 0x8000 : 0) | (faults_.xtalUnstable ? 0 : 0x4000));
      case 19:
        return config_;
      case 20:
        return static_cast<uint16_t>((link ? 0x2000 : 0) | (fullDuplex() ? 0x1000 : 0) | (speed100() ? 0x0800 : 0) |
                                     (negotiated ? 0x0200 : 0) | (faults_.lowVoltage ? 0x0004 : 0));
      default:
        return 0;
    }
  }
  switch (reg) {
    case 16:
      return portConfig_;
    case 17:
      return static_cast<uint16_t>((speed100() ? 0x4000 : 0) | (link ? 0x0400 : 0) | (fullDuplex() ? 0x0200 : 0) |
                                   (autoNegotiating() ? 0x0100 : 0) | (negotiated ? 0x0080 : 0));
    case 18:
      return intEnable_;
    case 19:
      return static_cast<uint16_t>((linkChanged_ ? 0x0010 : 0) | (interruptPending() ? 0x0004 : 0));
    case 20:
      return ledConfig_;
    default:
      return 0;
  }
}

uint16_t Lxt97xPhy::readRegister(int reg) {
  reg &= 0x1F;
  uint16_t v = value(reg);
  // Latched bits show their event once, then the current state.
  if (reg == 1) linkLatchedLow_ = false;
  if ((model_ == PhyModel::Lxt970 && reg == 18) || (model_ == PhyModel::Lxt971 && reg == 19)) linkChanged_ = false;
  if (reg == faults_.wrongRegister) v ^= faults_.wrongXor;
  return v;
}

void Lxt97xPhy::writeRegister(int reg, uint16_t value) {
  reg &= 0x1F;
  bool lxt970 = model_ == PhyModel::Lxt970;
  switch (reg) {
    case 0:
      if (value & kReset) {
        reset();
        return;
      }
      control_ = value & kControlWritable;
      break;
    case 4:
      // Remote fault, pause (and asymmetric pause on the LXT971), the four abilities.
      advertisement_ = static_cast<uint16_t>((value & (lxt970 ? 0x25E0 : 0x2DE0)) | kSelector);
      break;
    case 16:
      if (faults_.mirrorStuck) break;
      if (lxt970) {
        mirror_ = value;
      } else {
        portConfig_ = value & 0x7FFF;
      }
      break;
    case 17:
      if (lxt970) intEnable_ = value & 0x0003;
      break;
    case 18:
      if (!lxt970) intEnable_ = value & 0x00F3;
      break;
    case 19:
      if (lxt970) config_ = value & 0x7FFF;
      break;
    case 20:
      if (!lxt970) ledConfig_ = value;
      break;
    default:
      break;  // read-only or not implemented
  }
  updateLink();
}

// ---- Management frames ----

void Lxt97xPhy::mdcRisingEdge(bool mdio) {
  uint32_t bit = mdio ? 1u : 0u;
  switch (frame_) {
    case Frame::Preamble:
      if (mdio) {
        if (ones_ < kMinPreamble) ++ones_;
      } else {
        if (ones_ >= kMinPreamble) frame_ = Frame::Start;
        ones_ = 0;
      }
      break;
    case Frame::Start:
      frame_ = mdio ? Frame::Opcode : Frame::Preamble;
      count_ = 0;
      shift_ = 0;
      break;
    case Frame::Opcode:
      shift_ = (shift_ << 1) | bit;
      if (++count_ < 2) break;
      if (shift_ == 2 || shift_ == 1) {
        read_ = shift_ == 2;
        frame_ = Frame::PhyAddress;
      } else {
        frame_ = Frame::Preamble;
      }
      count_ = 0;
      shift_ = 0;
      break;
    case Frame::PhyAddress:
      shift_ = (shift_ << 1) | bit;
      if (++count_ < 5) break;
      phy_ = static_cast<int>(shift_);
      frame_ = Frame::Register;
      count_ = 0;
      shift_ = 0;
      break;
    case Frame::Register:
      shift_ = (shift_ << 1) | bit;
      if (++count_ < 5) break;
      reg_ = static_cast<int>(shift_);
      count_ = 0;
      shift_ = 0;
      if (phy_ != address_) {
        // Another PHY's frame: stay off the line and wait for the next preamble.
        frame_ = Frame::Preamble;
      } else if (read_) {
        readValue_ = readRegister(reg_);
        frame_ = Frame::ReadTurnaround;  // first turnaround bit: line floats
      } else {
        frame_ = Frame::WriteTurnaround;
      }
      break;
    case Frame::WriteTurnaround:
      if (++count_ < 2) break;
      frame_ = Frame::WriteData;
      count_ = 0;
      break;
    case Frame::WriteData:
      shift_ = (shift_ << 1) | bit;
      if (++count_ < 16) break;
      writeRegister(reg_, static_cast<uint16_t>(shift_));
      frame_ = Frame::Preamble;
      break;
    case Frame::ReadTurnaround:
      drive_ = true;  // second turnaround bit: driven 0
      out_ = false;
      readBit_ = 16;
      frame_ = Frame::ReadData;
      break;
    case Frame::ReadData:
      --readBit_;
      out_ = ((readValue_ >> readBit_) & 1) != 0;
      if (readBit_ == 0) frame_ = Frame::ReadEnd;
      break;
    case Frame::ReadEnd:
      drive_ = false;
      out_ = true;
      frame_ = Frame::Preamble;
      ones_ = 0;
      break;
  }
}

}  // namespace sim
