// `orvdiag flash`: the main window's "Flash" command. One board: the flash
// viewer's page (at --address); several: the flash files of global.ini.
#include <memory>

#include "app/flash_command.h"
#include "app/flash_viewer.h"
#include "app/hex_text.h"
#include "app/main_dialog.h"
#include "cli/dialog_cli.h"
#include "cli/session.h"
#include "pci/pci_system.h"

namespace dialog_cli {
namespace {

struct FlashOptions {
  std::vector<std::string> boards;
  std::string address;
};

int RunFlash(const GlobalOptions& options, const FlashOptions& o) {
  if (!o.address.empty() && !ParseWholeHex(o.address))
    throw UsageError("--address takes a hexadecimal flash address, not \"" + o.address + "\"");
  Session session(options);
  SelectBoards(session.Dialog(), o.boards);
  const std::vector<Board> boards = SelectedBoards(session);
  if (!o.address.empty() && boards.size() != 1)
    throw UsageError("--address is for the flash viewer of one board; choose it with --board");

  std::vector<std::string> logLines;
  session.Log().onAppend = [&](const std::string& line) {
    logLines.push_back(line);
    if (!options.json) std::fprintf(session.Out(), "%s\n", line.c_str());
  };
  FlashCommand command(session.Dialog());
  nlohmann::json viewerReport;
  command.runViewer = [&](FlashViewer& viewer) {
    if (!o.address.empty()) {
      viewer.TypeAddress(o.address);
      viewer.LeaveAddressField();
    }
    char page[16];
    std::snprintf(page, sizeof page, "%06X", viewer.PageAddress());
    viewerReport = {{"address", page}, {"lines", viewer.Lines()}, {"messages", MessagesJson(viewer.messages.List())}};
    if (options.json) return;
    if (PCI_Card* card = session.System().card) std::fprintf(session.Out(), "%s\n", BoardTitle(boards.front(), *card).c_str());
    std::fprintf(session.Out(), "%s at %06X\n", FlashViewer::kTitle, viewer.PageAddress());
    PrintMessages(session.Out(), viewer.messages.List());
    for (const std::string& line : viewer.Lines()) std::fprintf(session.Out(), "%s\n", line.c_str());
  };
  const bool completed = command.Run();
  if (options.json) {
    nlohmann::json report = {{"log", logLines}, {"messages", MessagesJson(command.messages.List())}, {"passed", completed}};
    if (!viewerReport.is_null()) report["viewer"] = viewerReport;
    std::fprintf(session.Out(), "%s\n", report.dump(2).c_str());
  } else {
    PrintMessages(session.Out(), command.messages.List());
  }
  return completed ? kExitOk : kExitFailed;
}

}  // namespace

void AddFlashCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto o = std::make_shared<FlashOptions>();
  auto* command = AddBoardOption(
      app.add_subcommand("flash",
                         "One board: show a 256-byte page of its flash (the flash viewer). Several boards: list the "
                         "flash file of each board that offers flash programming, from section [Diag], key "
                         "\"NAME Flash File\" of global.ini in the current directory"),
      o->boards);
  command->add_option("--address", o->address, "Flash address of the page shown, hexadecimal (one board only)");
  command->callback([&options, &run, o] { run = [&options, o] { return RunFlash(options, *o); }; });
}

}  // namespace dialog_cli
