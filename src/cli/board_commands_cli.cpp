// The board commands of the main window on the command line: each acts on the
// selected boards and prints the results-log lines in the order written.
#include <memory>

#include "app/board_commands.h"
#include "cli/board_selection.h"
#include "cli/commands.h"
#include "cli/json_run_report.h"
#include "cli/session.h"
#include "production/ethernet_address.h"

namespace {

struct BoardOptions {
  std::vector<std::string> boards;
  std::vector<std::string> tests;
  unsigned passes = 1;
  std::string echoServer;  // bd-level-echo: the echo server's address, if any
};

// Runs `body` on a session with the chosen boards selected; prints the log
// lines as they come, or a JSON report at the end.
int RunOnBoards(const GlobalOptions& options, const BoardOptions& board,
                const std::function<void(Session&, JsonRunReport&)>& body) {
  Session session(options);
  SelectBoards(session.Dialog(), board.boards);
  JsonRunReport report;
  std::vector<std::string> written;
  if (options.json)
    session.Log().onAppend = [&written](const std::string& line) { written.push_back(line); };
  else
    session.EchoLogLines();
  body(session, report);
  if (options.json) {
    nlohmann::json out = {{"boards", report.Boards()}, {"log", written}, {"passed", !report.AnyFailed()}};
    std::fprintf(session.Out(), "%s\n", out.dump(2).c_str());
  }
  return report.AnyFailed() ? kExitFailed : kExitOk;
}

// Picks the test-list entries by name; throws UsageError for a name the card lacks.
void ChooseTests(MainDialog& dialog, const std::vector<std::string>& names) {
  if (names.empty()) return;  // the list's own default: the board tests
  auto& entries = dialog.TestList();
  for (auto& entry : entries) entry.selected = false;
  for (const std::string& name : names) {
    bool found = false;
    for (auto& entry : entries)
      if (entry.name == name) found = entry.selected = true;
    if (!found) {
      std::string known;
      for (const auto& entry : entries) known += (known.empty() ? "" : ", ") + ("\"" + entry.name + "\"");
      throw UsageError("the card has no test \"" + name + "\"" + (known.empty() ? " (it has no tests)" : "; its tests: " + known));
    }
  }
}

CLI::App* AddBoardOption(CLI::App* command, BoardOptions& board) {
  command->add_option("--board", board.boards, "A board as BUS:SLOT from the card list (repeatable; default every listed board)");
  return command;
}

}  // namespace

void AddBoardCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto board = std::make_shared<BoardOptions>();

  auto* reset = AddBoardOption(app.add_subcommand("reset", "Reset the selected boards"), *board);
  reset->callback([&options, &run, board] {
    run = [&options, board] {
      return RunOnBoards(options, *board, [](Session& s, JsonRunReport& r) { board_commands::Reset(s.Dialog(), &r); });
    };
  });

  auto* bdLevel = AddBoardOption(app.add_subcommand("bd-level", "Run the board tests of the selected boards"), *board);
  bdLevel->callback([&options, &run, board] {
    run = [&options, board] {
      return RunOnBoards(options, *board, [](Session& s, JsonRunReport& r) { board_commands::BdLevel(s.Dialog(), &r); });
    };
  });

  auto* bdEcho = AddBoardOption(app.add_subcommand("bd-level-echo", "Board tests, then the echo-server listing, of the selected boards"), *board);
  bdEcho->add_option("--server", board->echoServer, "An echo server's address: run each board's echo test after its board tests");
  bdEcho->callback([&options, &run, board] {
    run = [&options, board] {
      EthernetAddress server;
      const bool withEcho = !board->echoServer.empty();
      if (withEcho && !server.Parse(board->echoServer))
        throw UsageError("--server takes an Ethernet address as xx:xx:xx:xx:xx:xx, not \"" + board->echoServer + "\"");
      return RunOnBoards(options, *board, [&](Session& s, JsonRunReport& r) {
        board_commands::BdLevelEcho(s.Dialog(), &r, withEcho ? &server : nullptr);
      });
    };
  });

  auto* test = AddBoardOption(app.add_subcommand("test", "Run chosen tests on each selected board for a number of passes"), *board);
  test->add_option("--test", board->tests, "A test by name (repeatable; default the board tests)");
  test->add_option("--passes", board->passes, "Passes over the chosen tests")->check(CLI::Range(1, 100));
  test->callback([&options, &run, board] {
    run = [&options, board] {
      return RunOnBoards(options, *board, [board](Session& s, JsonRunReport& r) {
        MainDialog& dialog = s.Dialog();
        dialog.passCount = board->passes;
        std::vector<int> rows;
        for (size_t i = 0; i < dialog.Selection().size(); ++i)
          if (dialog.Selection()[i]) rows.push_back(static_cast<int>(i));
        for (int row : rows) {
          dialog.Click({row});  // one board at a time, as "Test Selected" works
          ChooseTests(dialog, board->tests);
          board_commands::TestSelected(dialog, &r);
        }
      });
    };
  });

  auto* dump = AddBoardOption(app.add_subcommand("dump", "Print every register of the selected boards"), *board);
  dump->callback([&options, &run, board] {
    run = [&options, board] {
      return RunOnBoards(options, *board, [](Session& s, JsonRunReport&) { board_commands::DumpPciInfo(s.Dialog()); });
    };
  });
}
