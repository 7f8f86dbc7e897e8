#include "cards/card_factory.h"

#include <new>

#include "cards/r51_card.h"
#include "cards/r83_card.h"
#include "cards/unknown_card.h"
#include "pci/card_detection.h"

CardKind ChooseCardKind(const PciDeviceInfo& device, int detection) {
  switch (detection) {
    case kDetectAutomatic:
      if (device.deviceId == 0x0019 && device.subsystemId == 0x0100) return CardKind::R51;
      if (device.deviceId == 0x0019 && device.subsystemId == 0x0430) return CardKind::R83;
      return CardKind::Unknown;
    case kDetectR51:
      return CardKind::R51;
    case kDetectR83:
      return CardKind::R83;
    default:
      return CardKind::Unknown;
  }
}

PCI_Card* MakeCard(PCI_System* system, CardKind kind) {
  // The constructors allocate the adapter record too; any failure means no card.
  try {
    switch (kind) {
      case CardKind::R51:
        return new R51_Card(system);
      case CardKind::R83:
        return new R83_Card(system);
      case CardKind::Unknown:
        break;
    }
    return new UnknownCard(system);
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
