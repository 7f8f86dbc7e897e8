#include "cli/board_selection.h"

#include <cstdlib>

#include "app/main_dialog.h"
#include "cli/session.h"

namespace {
bool ParseBoard(const std::string& text, int* bus, int* slot) {
  const size_t colon = text.find(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size()) return false;
  for (size_t i = 0; i < text.size(); ++i)
    if (i != colon && (text[i] < '0' || text[i] > '9')) return false;
  *bus = std::atoi(text.substr(0, colon).c_str());
  *slot = std::atoi(text.substr(colon + 1).c_str());
  return true;
}
}  // namespace

void SelectBoards(MainDialog& dialog, const std::vector<std::string>& boards) {
  if (boards.empty()) {
    std::vector<int> all;
    for (size_t i = 0; i < dialog.Rows().size(); ++i) all.push_back(static_cast<int>(i));
    dialog.Click(all);
    return;
  }
  std::vector<int> rows;
  for (const std::string& board : boards) {
    int bus = 0;
    int slot = 0;
    if (!ParseBoard(board, &bus, &slot)) throw UsageError("--board takes BUS:SLOT, not \"" + board + "\"");
    int found = -1;
    for (size_t i = 0; i < dialog.Rows().size(); ++i) {
      const auto& row = dialog.Rows()[i];
      if (std::atoi(row[card_list::kBusColumn].c_str()) == bus && std::atoi(row[card_list::kSlotColumn].c_str()) == slot)
        found = static_cast<int>(i);
    }
    if (found < 0) throw UsageError("board " + board + " is not in the card list (see orvdiag list)");
    rows.push_back(found);
  }
  dialog.Click(rows);
}
