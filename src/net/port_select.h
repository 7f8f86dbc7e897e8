#pragma once

// The choice of one of up to four ports of a multi-port card before a
// port-specific job. The buttons "1" to "4" store their port at once; OK and
// Esc both leave the choice as it is, and callers use it either way.
class PortSelectDialog {
 public:
  static constexpr int kButtonCount = 4;
  static constexpr int kFirstButtonId = 1170;  // "1"; "2" to "4" follow

  explicit PortSelectDialog(int initialPort) : selectedPort(initialPort) {}

  // A click on the button with this control ID (1170 to 1173); other IDs do nothing.
  void ClickButton(int controlId);
  // A click on the button captioned "1" to "4" (index 0 to 3).
  void ClickPort(int index);
  // The button texts, in order.
  static const char* ButtonText(int index);
  // No button is shown pressed when the dialog opens.
  bool IsPressed(int index) const { return pressed_ == index; }

  int selectedPort;

 private:
  int pressed_ = -1;
};
