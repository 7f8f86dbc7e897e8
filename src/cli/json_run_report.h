#pragma once
#include <nlohmann/json.hpp>

#include "app/board_commands.h"

// Collects boards, tests, result texts and durations into a JSON report.
class JsonRunReport : public BoardRunObserver {
 public:
  void BoardStarted(int bus, int device) override;
  void TestFinished(const std::string& name, const char* result, uint64_t microseconds) override;
  void ResetFinished(const char* result) override;

  bool AnyFailed() const { return failed_; }
  nlohmann::json& Boards() { return boards_; }

 private:
  nlohmann::json boards_ = nlohmann::json::array();
  bool failed_ = false;
};
