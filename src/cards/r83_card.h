#pragma once
#include "cards/dec21143_card.h"

// The R83 adapter (subsystem 0x0430): the board tests of both models and no
// extra tests.
class R83_Card : public DEC21143_Card {
 public:
  explicit R83_Card(PCI_System* system);

  const char* Name() override;
  TestNameList BoardTestNames() override;
  const char* RunBoardTest(int index) override;
  TestNameList ExtraTestNames() override;
  const char* RunExtraTest(int index) override;
  // The R83's subsystem and board IDs of the variant (TX or FX), its
  // connection flags and DEC area, with the NIC type 0x0033; other words are kept.
  void BuildEepromImage(uint16_t* image, EthernetAddress address) override;
};
