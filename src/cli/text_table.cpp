#include "cli/text_table.h"

#include <algorithm>

void PrintAlignedTable(FILE* out, const std::vector<std::vector<std::string>>& rows) {
  std::vector<size_t> widths;
  auto cell = [](const std::string& text) -> const std::string& {
    static const std::string dash = "-";
    return text.empty() ? dash : text;
  };
  for (const auto& row : rows) {
    if (widths.size() < row.size()) widths.resize(row.size(), 0);
    for (size_t i = 0; i < row.size(); ++i) widths[i] = std::max(widths[i], cell(row[i]).size());
  }
  for (const auto& row : rows) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      const std::string& text = cell(row[i]);
      line += text;
      if (i + 1 < row.size()) line += std::string(widths[i] - text.size() + 2, ' ');
    }
    std::fprintf(out, "%s\n", line.c_str());
  }
}
