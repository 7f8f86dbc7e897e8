#include <nlohmann/json.hpp>

#include "app/card_list.h"
#include "cli/commands.h"
#include "cli/session.h"
#include "cli/text_table.h"

namespace {
int RunList(const GlobalOptions& options) {
  Session session(options);
  const auto& columns = card_list::Columns();
  if (options.json) {
    nlohmann::json report;
    report["cards"] = nlohmann::json::array();
    for (const auto& row : session.Dialog().Rows()) {
      nlohmann::json card;
      for (size_t i = 0; i < columns.size(); ++i) card[columns[i].heading] = row[i];
      report["cards"].push_back(card);
    }
    report["log"] = session.InitialLines();
    std::fprintf(session.Out(), "%s\n", report.dump(2).c_str());
    return kExitOk;
  }
  std::vector<std::vector<std::string>> table;
  std::vector<std::string> header;
  for (const auto& column : columns) header.push_back(column.heading);
  table.push_back(header);
  for (const auto& row : session.Dialog().Rows()) table.emplace_back(row.begin(), row.end());
  PrintAlignedTable(session.Out(), table);
  for (const auto& line : session.InitialLines()) std::fprintf(session.Out(), "%s\n", line.c_str());
  return kExitOk;
}
}  // namespace

void AddListCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto* command = app.add_subcommand("list", "Scan the PCI buses and show the card list and the detection summary");
  command->callback([&options, &run] { run = [&options] { return RunList(options); }; });
}
