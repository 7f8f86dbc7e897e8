#include "app/results_log.h"

#include <cstdio>

ResultsLog::ResultsLog(std::string filePath) : filePath_(std::move(filePath)) {}

const std::string& ResultsLog::Separator() {
  static const std::string separator = "|" + std::string(88, '-') + "|";
  return separator;
}

void ResultsLog::Append(const std::string& line) {
  lines_.push_front(line);
  if (resultsToFile) {
    // Opened and closed once per line; a file that cannot be opened is skipped
    // for this line without a message, and the next line tries again.
    if (FILE* file = std::fopen(filePath_.c_str(), "a")) {
      std::fputs(line.c_str(), file);
      std::fputc('\n', file);
      std::fclose(file);
    }
  }
  if (onAppend) onAppend(line);
}

void ResultsLog::RemoveTop() {
  if (!lines_.empty()) lines_.pop_front();
}

void ResultsLog::Clear() { lines_.clear(); }
