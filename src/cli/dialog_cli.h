#pragma once
#include <CLI/CLI.hpp>
#include <cstdio>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "app/dialog_message.h"
#include "cli/board_selection.h"
#include "cli/commands.h"

class PCI_Card;
class Session;

// What the dialog commands share: the boards they act on and how a dialog's
// message boxes reach the output.
namespace dialog_cli {

struct Board {
  int row;
  int bus;
  int slot;
};

// The selected rows of the card list; throws UsageError when there are none.
std::vector<Board> SelectedBoards(Session& session);

// Makes the board current as a click on its row alone would, and answers its
// card; throws UsageError when the function has no card.
PCI_Card& MakeCurrent(Session& session, const Board& board);

// "Board BB:SS NAME", the line that starts each board's report.
std::string BoardTitle(const Board& board, PCI_Card& card);
nlohmann::json BoardJson(const Board& board, PCI_Card& card);

// A message box as a line: "CAPTION: TEXT".
std::string MessageLine(const DialogMessage& message);
void PrintMessages(FILE* out, const std::vector<DialogMessage>& messages);
nlohmann::json MessagesJson(const std::vector<DialogMessage>& messages);

CLI::App* AddBoardOption(CLI::App* command, std::vector<std::string>& boards);

void AddEepromCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
void AddRegistersCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
void AddSettingsCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
void AddFlashCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run);

}  // namespace dialog_cli
