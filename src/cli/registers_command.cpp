// `orvdiag registers`: the Registers dialog of each selected board: its
// register sets with their named positions and values, and "Set".
#include <memory>

#include "app/hex_text.h"
#include "app/registers_dialog.h"
#include "cli/dialog_cli.h"
#include "cli/session.h"
#include "cli/text_table.h"

namespace dialog_cli {
namespace {

struct RegistersOptions {
  std::vector<std::string> boards;
  std::string set;
  std::vector<std::string> writes;
};

struct Write {
  uint32_t offset;
  std::string value;
};

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<Write> ParseWrites(const RegistersOptions& o) {
  std::vector<Write> writes;
  for (const std::string& text : o.writes) {
    const size_t equals = text.find('=');
    const std::optional<uint32_t> offset =
        equals == std::string::npos ? std::nullopt : ParseWholeHex(std::string_view(text).substr(0, equals));
    if (!offset) throw UsageError("--write takes OFFSET=VALUE in hexadecimal, not \"" + text + "\"");
    const std::string value = text.substr(equals + 1);
    if (value.empty()) throw UsageError("--write " + text + ": the value is empty");
    if (value.size() > RegistersDialog::kValueTextLimit)
      throw UsageError("--write " + text + ": the value field takes at most 8 characters");
    writes.push_back({*offset, value});
  }
  if (!writes.empty() && o.set.empty()) throw UsageError("--write needs --set to name the register set");
  return writes;
}

// The set chooser's entry named `name`; throws UsageError naming the sets.
int FindSet(const RegistersDialog& dialog, const std::string& name, const std::string& title) {
  for (size_t i = 0; i < dialog.SetNames().size(); ++i)
    if (SameName(dialog.SetNames()[i], name)) return static_cast<int>(i);
  std::string known;
  for (const std::string& set : dialog.SetNames()) known += (known.empty() ? "\"" : ", \"") + set + "\"";
  throw UsageError(title + " has no register set \"" + name + "\"" +
                   (known.empty() ? " (it has none)" : "; its sets: " + known));
}

int FindRow(const RegistersDialog& dialog, uint32_t offset) {
  for (size_t i = 0; i < dialog.Rows().size(); ++i)
    if (dialog.Rows()[i].offset == offset) return static_cast<int>(i);
  return -1;
}

int RunRegisters(const GlobalOptions& options, const RegistersOptions& o) {
  const std::vector<Write> writes = ParseWrites(o);
  // A value the dialog would refuse is refused before any board is touched.
  for (const Write& w : writes)
    if (!ScanHex(w.value)) throw UsageError(std::string(RegistersDialog::kTitle) + ": " + RegistersDialog::kNotHexMessage);

  Session session(options);
  SelectBoards(session.Dialog(), o.boards);
  const std::vector<Board> boards = SelectedBoards(session);

  // Every board is checked for the set and the offsets before anything is written.
  for (const Board& board : writes.empty() ? std::vector<Board>{} : boards) {
    PCI_Card& card = MakeCurrent(session, board);
    RegistersDialog dialog(card);
    dialog.Start();
    dialog.SelectSet(FindSet(dialog, o.set, BoardTitle(board, card)));
    for (const Write& w : writes) {
      if (FindRow(dialog, w.offset) < 0) {
        char text[32];
        std::snprintf(text, sizeof text, "%02X", w.offset);
        throw UsageError(BoardTitle(board, card) + ": set \"" + dialog.SetNames()[static_cast<size_t>(dialog.SelectedSet())] +
                         "\" shows no register at offset " + text);
      }
    }
  }

  nlohmann::json report = nlohmann::json::array();
  bool refused = false;
  for (const Board& board : boards) {
    PCI_Card& card = MakeCurrent(session, board);
    RegistersDialog dialog(card);
    dialog.Start();
    nlohmann::json entry = BoardJson(board, card);
    entry["writes"] = nlohmann::json::array();
    if (!options.json) std::fprintf(session.Out(), "%s\n", BoardTitle(board, card).c_str());

    std::vector<int> sets;
    if (o.set.empty()) {
      for (size_t i = 0; i < dialog.SetNames().size(); ++i) sets.push_back(static_cast<int>(i));
    } else {
      sets.push_back(FindSet(dialog, o.set, BoardTitle(board, card)));
      dialog.SelectSet(sets.front());
      for (const Write& w : writes) {
        dialog.selectedRow = FindRow(dialog, w.offset);
        const std::string name = dialog.Rows()[static_cast<size_t>(dialog.selectedRow)].name;
        const std::string address = dialog.Rows()[static_cast<size_t>(dialog.selectedRow)].address;
        const size_t before = dialog.messages.List().size();
        dialog.valueText = w.value;
        dialog.Set();
        const bool written = dialog.messages.List().size() == before;
        refused |= !written;
        const std::string value = dialog.Rows()[static_cast<size_t>(dialog.selectedRow)].value;
        entry["writes"].push_back({{"register", name}, {"address", address}, {"text", w.value}, {"written", written},
                                   {"read_back", value}});
        if (!options.json) {
          if (written)
            std::fprintf(session.Out(), "  Set %s (%s) to %s: reads %s\n", name.c_str(), address.c_str(), w.value.c_str(),
                         value.c_str());
          PrintMessages(session.Out(), {dialog.messages.List().begin() + static_cast<long>(before), dialog.messages.List().end()});
        }
      }
    }

    entry["sets"] = nlohmann::json::array();
    for (int set : sets) {
      dialog.SelectSet(set);
      const std::string& setName = dialog.SetNames()[static_cast<size_t>(set)];
      if (options.json) {
        nlohmann::json rows = nlohmann::json::array();
        for (const auto& row : dialog.Rows())
          rows.push_back({{"register", row.name}, {"address", row.address}, {"value", row.value}});
        entry["sets"].push_back({{"name", setName}, {"registers", rows}});
        continue;
      }
      std::fprintf(session.Out(), "  %s\n", setName.c_str());
      std::vector<std::vector<std::string>> table = {{"    Register", "Address", "Value"}};
      for (const auto& row : dialog.Rows()) table.push_back({"    " + row.name, row.address, row.value});
      PrintAlignedTable(session.Out(), table);
    }
    entry["messages"] = MessagesJson(dialog.messages.List());
    report.push_back(entry);
  }
  if (options.json)
    std::fprintf(session.Out(), "%s\n", nlohmann::json{{"boards", report}, {"passed", !refused}}.dump(2).c_str());
  return refused ? kExitFailed : kExitOk;
}

}  // namespace

void AddRegistersCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto o = std::make_shared<RegistersOptions>();
  auto* command = AddBoardOption(
      app.add_subcommand("registers", "Show the register sets of each selected board and write registers (the Registers dialog)"),
      o->boards);
  command->add_option("--set", o->set, "Only this register set, by its name (e.g. \"PCI Configuration\")");
  command->add_option("--write", o->writes,
                      "OFFSET=VALUE, both hexadecimal: \"Set\" the register at that offset of --set (repeatable, in order)");
  command->callback([&options, &run, o] { run = [&options, o] { return RunRegisters(options, *o); }; });
}

}  // namespace dialog_cli
