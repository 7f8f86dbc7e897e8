#include "cli/json_run_report.h"

void JsonRunReport::BoardStarted(int bus, int device) {
  boards_.push_back({{"bus", bus}, {"slot", device}, {"tests", nlohmann::json::array()}});
}

void JsonRunReport::TestFinished(const std::string& name, const char* result, uint64_t microseconds) {
  if (boards_.empty()) BoardStarted(-1, -1);
  nlohmann::json test = {{"name", name}, {"passed", result == nullptr}, {"seconds", microseconds / 1e6}};
  test["result"] = result ? nlohmann::json(result) : nlohmann::json(nullptr);
  boards_.back()["tests"].push_back(test);
  if (result) failed_ = true;
}

void JsonRunReport::ResetFinished(const char* result) {
  if (boards_.empty()) BoardStarted(-1, -1);
  boards_.back()["reset"] = result ? nlohmann::json(result) : nlohmann::json(nullptr);
  if (result) failed_ = true;
}
