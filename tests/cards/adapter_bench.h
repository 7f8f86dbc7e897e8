#pragma once
// A simulated PC with R51 and R83 boards, reached the way the program reaches
// them: a SimSystem that scanned the bench, and the card the factory makes for
// the selected function under automatic detection.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

#include "cards/dec21143_card.h"
#include "pci/card_detection.h"
#include "platform/sim/sim_system.h"
#include "sim/adapter_board.h"
#include "sim/bench.h"

// Sets the process-wide detection choice for a scope.
class DetectionScope {
 public:
  explicit DetectionScope(int choice) : saved_(cardDetection) { cardDetection = choice; }
  ~DetectionScope() { cardDetection = saved_; }
  DetectionScope(const DetectionScope&) = delete;
  DetectionScope& operator=(const DetectionScope&) = delete;

 private:
  int saved_;
};

class AdapterBench {
 public:
  // The built-in bench when text is empty.
  explicit AdapterBench(std::string_view text = {}, int detection = kDetectAutomatic) : detection_(detection) {
    system_ = std::make_unique<SimSystem>(text.empty() ? sim::BuiltinBench() : sim::LoadBenchText(text, "cards.toml"));
    const char* failure = system_->Open();
    EXPECT_EQ(failure, nullptr) << failure;
  }

  // Selects bus:device; the card the factory made for it (null when none).
  DEC21143_Card* Select(int bus, int device) {
    system_->SelectDevice(bus, device);
    return dynamic_cast<DEC21143_Card*>(system_->card);
  }

  SimSystem& system() { return *system_; }
  // The simulated board at bus:device (function 0).
  sim::AdapterBoard* Board(int bus, int device) {
    return dynamic_cast<sim::AdapterBoard*>(system_->machine().functionAt(bus, device, 0));
  }

 private:
  DetectionScope detection_;
  std::unique_ptr<SimSystem> system_;
};

// One board on a segment with an echo station at 02:00:00:00:00:ee; `extra` is
// added to the [[board]] table (variant, phy, faults ...).
inline std::string OneBoardBench(std::string_view model, std::string_view extra = {}, int device = 3) {
  std::string text =
      "[machine]\n"
      "description = \"card test bench\"\n"
      "[[segment]]\n"
      "name = \"lan\"\n"
      "echo_station = \"02:00:00:00:00:ee\"\n"
      "[[board]]\n"
      "device = " + std::to_string(device) + "\n"
      "model = \"" + std::string(model) + "\"\n"
      "segment = \"lan\"\n";
  text += extra;
  text += "\n";
  return text;
}
