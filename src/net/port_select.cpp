#include "net/port_select.h"

void PortSelectDialog::ClickButton(int controlId) {
  const int index = controlId - kFirstButtonId;
  if (index >= 0 && index < kButtonCount) ClickPort(index);
}

void PortSelectDialog::ClickPort(int index) {
  if (index < 0 || index >= kButtonCount) return;
  selectedPort = index;
  pressed_ = index;
}

const char* PortSelectDialog::ButtonText(int index) {
  static const char* const kTexts[kButtonCount] = {"1", "2", "3", "4"};
  return index >= 0 && index < kButtonCount ? kTexts[index] : nullptr;
}
