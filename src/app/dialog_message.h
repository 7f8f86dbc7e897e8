#pragma once
#include <functional>
#include <string>
#include <vector>

// A message box a dialog shows: its text and its caption. A front end shows it
// through `show` as it happens; every message is also kept, in order, so that a
// caller without a window (the command line, a test) can read them afterwards.
struct DialogMessage {
  std::string text;
  std::string caption;

  bool operator==(const DialogMessage&) const = default;
};

class DialogMessages {
 public:
  void Show(std::string text, std::string caption) {
    list_.push_back({std::move(text), std::move(caption)});
    if (show) show(list_.back());
  }
  const std::vector<DialogMessage>& List() const { return list_; }

  // Called with every message as it is shown (a GUI's message box).
  std::function<void(const DialogMessage&)> show;

 private:
  std::vector<DialogMessage> list_;
};
