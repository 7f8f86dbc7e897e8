#pragma once
#include <cstdint>

namespace sim {

enum class PhyModel { Lxt970, Lxt971 };
// TX: twisted pair with auto-negotiation. FX: fibre, forced to 100 Mb/s, advertising
// only the selector; the LXT970 shows it in configuration bits 8 and 2, the LXT971
// in port configuration bit 0.
enum class PhyMedia { Tx, Fx };

// A Level1 LXT970 or LXT971 PHY: IEEE 802.3 clause 22 registers plus the vendor
// registers, reached through MII management frames at the pin level.
//
// Frames are sampled on rising MDC edges: at least 32 ones of preamble, start 01,
// opcode 10 (read) or 01 (write), PHY address, register, turnaround, 16 data bits.
// Only the configured address answers. In a read the PHY lets the line float for
// the first turnaround bit and drives 0 for the second; its output changes just
// after each rising edge.
//
// Auto-negotiation completes at once: with link and a partner that negotiates,
// the best common ability of the advertisement and the partner's wins (no common
// ability: no link); a partner that does not negotiate is met at half duplex.
// Resets and register writes do not drop the link by themselves.
class Lxt97xPhy {
 public:
  struct Faults {
    bool mirrorStuck = false;   // register 16 ignores writes
    bool xtalUnstable = false;  // LXT970 interrupt status bit 14 (XTAL OK) clear
    bool lowVoltage = false;    // LXT970 chip status bit 2 (low voltage) set
    bool linkDown = false;      // no link whatever the cable reports
    int wrongRegister = -1;     // this register reads XORed with wrongXor
    uint16_t wrongXor = 0;
  };

  static constexpr uint16_t kDefaultPartnerAbility = 0x01E1;

  // revision < 0 picks the part's usual one (LXT970: 3, LXT971: 2).
  Lxt97xPhy(PhyModel model, PhyMedia media, int address = 1, int revision = -1);

  // ---- Management interface, pin level ----
  void mdcRisingEdge(bool mdio);
  bool drivesMdio() const { return drive_; }
  bool mdioOut() const { return out_; }

  // ---- Registers as a management frame reads and writes them (read side
  // effects included: latched bits clear) ----
  uint16_t readRegister(int reg);
  void writeRegister(int reg, uint16_t value);
  // Power-on values; what a write of control bit 15 does.
  void reset();

  // ---- Cable side, set by the board ----
  void setLink(bool up);
  // The partner's auto-negotiation advertisement; 0 when it does not negotiate.
  void setPartnerAbility(uint16_t ability);
  void setFaults(const Faults& faults);
  const Faults& faults() const { return faults_; }

  // ---- What the data path sees ----
  bool linkUp() const;
  bool speed100() const;
  bool fullDuplex() const;
  bool loopback() const { return (control_ & 0x4000) != 0; }
  bool poweredDown() const { return (control_ & 0x0800) != 0; }
  bool isolated() const { return (control_ & 0x0400) != 0; }
  // The interrupt output: an enabled, latched link change not yet read.
  bool interruptPending() const;

  PhyModel model() const { return model_; }
  PhyMedia media() const { return media_; }
  int address() const { return address_; }

 private:
  enum class Frame { Preamble, Start, Opcode, PhyAddress, Register, WriteTurnaround, WriteData,
                     ReadTurnaround, ReadData, ReadEnd };

  uint16_t value(int reg) const;
  bool autoNegotiating() const;
  uint16_t resolvedAbility() const;
  uint16_t status() const;
  void updateLink();

  PhyModel model_;
  PhyMedia media_;
  int address_;
  int revision_;
  Faults faults_;

  // Cable.
  bool cableLink_ = true;
  uint16_t partner_ = kDefaultPartnerAbility;

  // Registers.
  uint16_t control_ = 0;
  uint16_t advertisement_ = 0;
  uint16_t mirror_ = 0;        // LXT970 register 16
  uint16_t portConfig_ = 0;    // LXT971 register 16
  uint16_t config_ = 0;        // LXT970 register 19
  uint16_t intEnable_ = 0;     // LXT970 register 17, LXT971 register 18
  uint16_t ledConfig_ = 0;     // LXT971 register 20
  bool lastLink_ = false;
  bool linkLatchedLow_ = false;
  bool linkChanged_ = false;

  // Management frame.
  Frame frame_ = Frame::Preamble;
  int ones_ = 0;
  int count_ = 0;
  uint32_t shift_ = 0;
  bool read_ = false;
  int phy_ = 0;
  int reg_ = 0;
  uint16_t readValue_ = 0;
  int readBit_ = 0;
  bool drive_ = false;
  bool out_ = true;
};

}  // namespace sim
