#pragma once
#include "cards/dec21143_card.h"

// The R51 adapter (subsystem 0x0100): the board tests of both models, the
// bus-master bit-flip test as its one extra test, and register sets named for
// its 21140-style part.
class R51_Card : public DEC21143_Card {
 public:
  explicit R51_Card(PCI_System* system);

  const char* Name() override;
  TestNameList BoardTestNames() override;
  const char* RunBoardTest(int index) override;
  TestNameList ExtraTestNames() override;
  const char* RunExtraTest(int index) override;
  const RegisterSet* RegisterSets() override;
  // The R51's subsystem and board IDs, connection flags and DEC area for the
  // variant, with the NIC type 0x0033; other words are kept.
  void BuildEepromImage(uint16_t* image, EthernetAddress address) override;
};
