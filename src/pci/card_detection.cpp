#include "pci/card_detection.h"

int cardDetection = kDetectUnknown;
