#pragma once
#include <deque>
#include <functional>
#include <string>

// The results log every command reports into: the newest line on top, and,
// while results-to-file is on, each line appended to the results file as it is
// written (so the file holds them oldest first).
class ResultsLog {
 public:
  explicit ResultsLog(std::string filePath = "results.txt");

  void Append(const std::string& line);
  // Takes the newest line off the list (the file keeps it).
  void RemoveTop();
  void Clear();

  // Newest first, as the list shows them.
  const std::deque<std::string>& Lines() const { return lines_; }

  bool resultsToFile = false;

  // Called with every appended line, in the order written (a front end prints
  // or displays it).
  std::function<void(const std::string&)> onAppend;

  static const std::string& Separator();

 private:
  std::string filePath_;
  std::deque<std::string> lines_;
};
