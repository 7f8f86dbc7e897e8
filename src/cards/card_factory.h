#pragma once
#include "pci/pci_records.h"

class PCI_Card;
class PCI_System;

enum class CardKind { R51, R83, Unknown };

// Which card class a scanned function gets under a card-detection choice.
// The vendor ID is not part of the rule.
CardKind ChooseCardKind(const PciDeviceInfo& device, int detection);

// Creates the card of that kind bound to the system; null when allocation fails.
PCI_Card* MakeCard(PCI_System* system, CardKind kind);
