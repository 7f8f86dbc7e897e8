#include "cli/dialog_cli.h"

#include "app/main_dialog.h"
#include "cards/pci_card.h"
#include "cli/session.h"
#include "pci/pci_system.h"

namespace dialog_cli {

std::vector<Board> SelectedBoards(Session& session) {
  MainDialog& dialog = session.Dialog();
  std::vector<Board> boards;
  for (size_t i = 0; i < dialog.Selection().size(); ++i) {
    if (!dialog.Selection()[i]) continue;
    const auto& row = dialog.Rows()[i];
    boards.push_back({static_cast<int>(i), std::atoi(row[card_list::kBusColumn].c_str()),
                      std::atoi(row[card_list::kSlotColumn].c_str())});
  }
  if (boards.empty()) throw UsageError("no board to act on: the card list is empty (see orvdiag list)");
  return boards;
}

PCI_Card& MakeCurrent(Session& session, const Board& board) {
  session.Dialog().Click({board.row});
  PCI_Card* card = session.System().card;
  if (card == nullptr) throw UsageError("board " + std::to_string(board.bus) + ":" + std::to_string(board.slot) + " has no card");
  return *card;
}

std::string BoardTitle(const Board& board, PCI_Card& card) {
  char text[160];
  std::snprintf(text, sizeof text, "Board %02d:%02d %s", board.bus, board.slot, card.Name());
  return text;
}

nlohmann::json BoardJson(const Board& board, PCI_Card& card) {
  return {{"bus", board.bus}, {"slot", board.slot}, {"name", card.Name()}};
}

std::string MessageLine(const DialogMessage& message) { return message.caption + ": " + message.text; }

void PrintMessages(FILE* out, const std::vector<DialogMessage>& messages) {
  for (const DialogMessage& m : messages) std::fprintf(out, "%s\n", MessageLine(m).c_str());
}

nlohmann::json MessagesJson(const std::vector<DialogMessage>& messages) {
  nlohmann::json list = nlohmann::json::array();
  for (const DialogMessage& m : messages) list.push_back({{"caption", m.caption}, {"text", m.text}});
  return list;
}

CLI::App* AddBoardOption(CLI::App* command, std::vector<std::string>& boards) {
  command->add_option("--board", boards, "A board as BUS:SLOT from the card list (repeatable; default every listed board)");
  return command;
}

}  // namespace dialog_cli

void AddDialogCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  dialog_cli::AddEepromCommands(app, options, run);
  dialog_cli::AddRegistersCommand(app, options, run);
  dialog_cli::AddSettingsCommand(app, options, run);
  dialog_cli::AddFlashCommand(app, options, run);
}
