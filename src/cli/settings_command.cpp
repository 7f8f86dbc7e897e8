// `orvdiag settings`: the card settings dialog of each selected board.
#include <memory>

#include "app/card_settings.h"
#include "cli/dialog_cli.h"
#include "cli/session.h"

namespace dialog_cli {
namespace {

std::string Upper(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
  return text;
}

int RunSettings(const GlobalOptions& options, const std::vector<std::string>& boardNames) {
  Session session(options);
  SelectBoards(session.Dialog(), boardNames);
  nlohmann::json boards = nlohmann::json::array();
  bool failed = false;
  for (const Board& board : SelectedBoards(session)) {
    PCI_Card& card = MakeCurrent(session, board);
    CardSettings settings(card);
    settings.Open();
    failed |= !settings.messages.List().empty();
    if (options.json) {
      nlohmann::json entry = BoardJson(board, card);
      nlohmann::json fields = nlohmann::json::object();
      for (const auto& field : settings.Fields()) fields[field.label] = field.text;
      entry["settings"] = fields;
      entry["messages"] = MessagesJson(settings.messages.List());
      boards.push_back(entry);
      continue;
    }
    std::fprintf(session.Out(), "%s\n", BoardTitle(board, card).c_str());
    PrintMessages(session.Out(), settings.messages.List());
    // As the dialog's fields show them: some in capitals.
    for (const auto& field : settings.Fields())
      std::fprintf(session.Out(), "  %s: %s\n", field.label, (field.upperCase ? Upper(field.text) : field.text).c_str());
  }
  if (options.json) std::fprintf(session.Out(), "%s\n", nlohmann::json{{"boards", boards}, {"passed", !failed}}.dump(2).c_str());
  return failed ? kExitFailed : kExitOk;
}

}  // namespace

void AddSettingsCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto boards = std::make_shared<std::vector<std::string>>();
  auto* command = AddBoardOption(
      app.add_subcommand("settings", "Show what each selected board's EEPROM says (the Card Settings dialog)"), *boards);
  command->callback([&options, &run, boards] { run = [&options, boards] { return RunSettings(options, *boards); }; });
}

}  // namespace dialog_cli
