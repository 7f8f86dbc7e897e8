#include "sim/lxt97x_phy.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using sim::Lxt97xPhy;
using sim::PhyMedia;
using sim::PhyModel;

// Clocks a frame of '0'/'1' driven bits and 'z' released bits (seen as the PHY
// drives them, or 1 through the pull-up); answers what the line carried after
// each edge: '0'/'1' driven by the PHY, '-' floating.
std::string Clock(Lxt97xPhy& phy, const std::string& bits) {
  std::string seen;
  for (char b : bits) {
    bool line = b == 'z' ? (!phy.drivesMdio() || phy.mdioOut()) : b == '1';
    phy.mdcRisingEdge(line);
    seen += phy.drivesMdio() ? (phy.mdioOut() ? '1' : '0') : '-';
  }
  return seen;
}

TEST(Lxt97xPhyPins, ReadFrameTiming) {
  // LXT970 register 2 = 0x7810 at address 1.
  const std::string header = "0110" "00001" "00010";
  struct Case {
    int preamble;
    bool answers;
  };
  for (const Case& c : {Case{32, true}, Case{31, false}}) {
    Lxt97xPhy phy(PhyModel::Lxt970, PhyMedia::Tx);
    std::string seen = Clock(phy, std::string(c.preamble, '1') + header + std::string(18, 'z'));
    std::string answer = c.answers ? "0" "0111100000010000" "-" : std::string(18, '-');
    EXPECT_EQ(seen, std::string(c.preamble + header.size(), '-') + answer) << c.preamble;
  }
}

TEST(Lxt97xPhyInterrupt, EnabledLinkChangeRaisesItUntilRead) {
  struct Case {
    PhyModel model;
    int enableReg;
    uint16_t enable;
    int statusReg;
    uint16_t pendingBits;
  };
  const Case cases[] = {{PhyModel::Lxt970, 17, 0x0002, 18, 0x8000}, {PhyModel::Lxt971, 18, 0x00F2, 19, 0x0014}};
  for (const Case& c : cases) {
    Lxt97xPhy phy(c.model, PhyMedia::Tx);
    phy.setLink(false);
    EXPECT_FALSE(phy.interruptPending());  // not enabled
    phy.readRegister(c.statusReg);
    phy.writeRegister(c.enableReg, c.enable);
    EXPECT_FALSE(phy.interruptPending());
    phy.setLink(true);
    EXPECT_TRUE(phy.interruptPending());
    EXPECT_EQ(phy.readRegister(c.statusReg) & c.pendingBits, c.pendingBits);
    EXPECT_FALSE(phy.interruptPending());
    EXPECT_EQ(phy.readRegister(c.statusReg) & c.pendingBits, 0);
  }
}

TEST(Lxt97xPhyFaults, LinkDownOverridesTheCable) {
  Lxt97xPhy phy(PhyModel::Lxt970, PhyMedia::Tx);
  Lxt97xPhy::Faults faults;
  faults.linkDown = true;
  phy.setFaults(faults);
  EXPECT_FALSE(phy.linkUp());
  EXPECT_EQ(phy.readRegister(20) & 0x2000, 0);
  phy.setFaults({});
  EXPECT_TRUE(phy.linkUp());
  EXPECT_EQ(phy.readRegister(1) & 0x0004, 0);  // the drop is latched
  EXPECT_EQ(phy.readRegister(1) & 0x0004, 0x0004);
}

}  // namespace
