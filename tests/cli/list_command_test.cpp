#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <vector>

#include "support/run_orvdiag.h"

namespace {

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::stringstream in(line);
  for (std::string field; in >> field;) fields.push_back(field);
  return fields;
}

TEST(ListCommand, PrintsTheCardListThenTheDetectionSummary) {
  const OrvdiagRun run = RunOrvdiag("list");
  ASSERT_EQ(run.status, 0) << run.err;
  const auto lines = SplitLines(run.out);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[0].rfind("Name ", 0), 0u);
  EXPECT_NE(lines[0].find("Sub System ID"), std::string::npos);
  EXPECT_EQ(lines.back(), "Total PCI devices detected = 07");
  EXPECT_EQ(lines[lines.size() - 3], "Bus 00 has 06 devices.");
  EXPECT_EQ(lines[lines.size() - 2], "Bus 01 has 01 devices.");
  // Rows: every cell is one field (empty ones shown as "-"), the adapters only.
  size_t rows = 0;
  for (size_t i = 1; i < lines.size() && lines[i].rfind("Bus ", 0) != 0; ++i, ++rows) {
    const auto fields = Fields(lines[i]);
    const size_t nameWords = fields.size() - 16;  // the model name may hold a blank
    ASSERT_GE(fields.size(), 17u) << lines[i];
    EXPECT_EQ(fields[nameWords + 6], "1011") << lines[i];
    EXPECT_EQ(fields[nameWords + 7], "0019") << lines[i];
    EXPECT_EQ(fields[nameWords + 5], "-") << "the Phy ID column stays empty";
  }
  EXPECT_EQ(rows, 3u);
}

TEST(ListCommand, AllDevicesAndJson) {
  const OrvdiagRun all = RunOrvdiag("--all-devices --json list");
  ASSERT_EQ(all.status, 0) << all.err;
  const auto report = nlohmann::json::parse(all.out);
  ASSERT_EQ(report["cards"].size(), 7u);
  bool sawBridge = false;
  for (const auto& card : report["cards"]) {
    EXPECT_EQ(card.size(), 17u);
    if (card["Base Class"] == "0006" && card["Sub Class"] == "0004") {
      sawBridge = true;
      EXPECT_EQ(card["Pri Bus"], "0000");
    } else {
      EXPECT_EQ(card["Pri Bus"], "");
    }
  }
  EXPECT_TRUE(sawBridge);
  EXPECT_EQ(report["log"].back(), "Total PCI devices detected = 07");
}

TEST(ListCommand, ResultsFileGetsTheLogLines) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("orvdiag-results-" + std::to_string(getpid()));
  fs::create_directories(dir);
  ASSERT_EQ(RunOrvdiag("--results-file list", dir).status, 0);
  EXPECT_EQ(ReadFileText(dir / "results.txt"),
            "Bus 00 has 06 devices.\nBus 01 has 01 devices.\nTotal PCI devices detected = 07\n");
  fs::remove_all(dir);
}

TEST(ListCommand, UsageAndBenchErrorsGiveOneLineAndStatusTwo) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("orvdiag-badbench-" + std::to_string(getpid()));
  fs::create_directories(dir);
  {
    std::ofstream bench(dir / "broken.toml");
    bench << "[[function]]\nbus = 0\ndevice = 3\nvenodr = 0x1011\n";
  }
  struct Case {
    std::string arguments;
    std::string expected;  // part of the one line on standard error
  };
  const Case cases[] = {
      {"--bench broken.toml list", "broken.toml:4"},
      {"--bench missing.toml list", "missing.toml"},
      {"--detect r99 list", "--detect"},
      {"frobnicate", "frobnicate"},
      {"bd-level --board 7:7", "7:7"},
      {"bd-level --board seven", "BUS:SLOT"},
  };
  for (const Case& c : cases) {
    const OrvdiagRun run = RunOrvdiag(c.arguments, dir);
    EXPECT_EQ(run.status, 2) << c.arguments;
    EXPECT_TRUE(run.out.empty()) << c.arguments << ": " << run.out;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << c.arguments << ": " << run.err;
    EXPECT_NE(run.err.find(c.expected), std::string::npos) << c.arguments << ": " << run.err;
  }
  fs::remove_all(dir);
}

}  // namespace
