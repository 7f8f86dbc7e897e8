#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/results_log.h"

namespace {

std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class ResultsLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("orv-results-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
  }
  void TearDown() override { std::filesystem::remove_all(dir); }
  std::filesystem::path dir;
};

TEST_F(ResultsLogTest, ListIsNewestFirstFileIsOldestFirstAndOnlyWhileTicked) {
  ResultsLog log((dir / "results.txt").string());
  log.Append("before");
  log.resultsToFile = true;
  log.Append("one");
  log.Append("Testing x ...");
  log.RemoveTop();
  log.Append("two");
  log.resultsToFile = false;
  log.Append("after");
  EXPECT_EQ(log.Lines(), (std::deque<std::string>{"after", "two", "one", "before"}));
  EXPECT_EQ(ReadAll(dir / "results.txt"), "one\nTesting x ...\ntwo\n");

  log.Clear();
  EXPECT_TRUE(log.Lines().empty());
  EXPECT_EQ(ReadAll(dir / "results.txt"), "one\nTesting x ...\ntwo\n") << "clearing keeps the file";
}

TEST_F(ResultsLogTest, UnopenableFileSkipsTheLineSilently) {
  ResultsLog log((dir / "missing-dir" / "results.txt").string());
  log.resultsToFile = true;
  std::vector<std::string> seen;
  log.onAppend = [&](const std::string& line) { seen.push_back(line); };
  log.Append("kept in the list");
  EXPECT_EQ(log.Lines().front(), "kept in the list");
  EXPECT_EQ(seen, std::vector<std::string>{"kept in the list"});
  std::filesystem::create_directories(dir / "missing-dir");
  log.Append("next line tries again");
  EXPECT_EQ(ReadAll(dir / "missing-dir" / "results.txt"), "next line tries again\n");
}

TEST(ResultsLogSeparator, IsNinetyCharacters) {
  const std::string& separator = ResultsLog::Separator();
  ASSERT_EQ(separator.size(), 90u);
  EXPECT_EQ(separator.front(), '|');
  EXPECT_EQ(separator.back(), '|');
  EXPECT_EQ(separator.substr(1, 88), std::string(88, '-'));
}

}  // namespace
