#pragma once

// How selected functions become cards: 0 automatic (from the IDs), 1 R51, 2 R83,
// 3 unknown card. Process-wide; 3 until the operator has confirmed a choice.
enum CardDetection : int {
  kDetectAutomatic = 0,
  kDetectR51 = 1,
  kDetectR83 = 2,
  kDetectUnknown = 3,
};

extern int cardDetection;
