// `orvdiag eeprom`: the EEPROM dialog of each selected board (its fields, its
// "Advanced" listing, its OK) and a check of the two checksums. Programming
// adds what a production line needs: a backup of the old image, a dry run, a
// read-back verify and addresses taken from a pool file.
#include <ctime>
#include <memory>

#include "app/eeprom_dialog.h"
#include "app/eeprom_production.h"
#include "app/mac_pool.h"
#include "cards/eeprom_image.h"
#include "cards/pci_card.h"
#include "cli/dialog_cli.h"
#include "cli/session.h"
#include "cli/text_table.h"
#include "pci/pci_system.h"

namespace ei = eeprom_image;
namespace ep = eeprom_production;

namespace dialog_cli {
namespace {

struct ProgramOptions {
  std::string mac;
  std::string macPool;
  std::string date;
  std::string subsystemVendor;
  std::string subsystem;
  std::string boardId;
  std::string adapterType;
  std::string connection;
  std::string backupDir = ".";
  bool verify = true;
  bool dryRun = false;
  bool force = false;
};

struct EepromOptions {
  std::vector<std::string> boards;
  ProgramOptions program;
};

std::string Hex(const char* format, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

bool SameName(const std::string& a, const char* b) {
  size_t i = 0;
  for (; i < a.size() && b[i] != '\0'; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return i == a.size() && b[i] == '\0';
}

// The entry of a drop-down list by name, without regard to case.
int ChooseEntry(const std::string& option, const std::string& name, const char* (*entry)(int), int count) {
  std::string known;
  for (int i = 0; i < count; ++i) {
    if (SameName(name, entry(i))) return i;
    known += std::string(i ? ", \"" : "\"") + entry(i) + "\"";
  }
  throw UsageError(option + " must be one of " + known + ", not \"" + name + "\"");
}

// Prints the board's report line by line, or collects it for --json.
struct Report {
  const GlobalOptions& options;
  Session& session;
  nlohmann::json boards = nlohmann::json::array();

  void Line(const std::string& text) const {
    if (!options.json) std::fprintf(session.Out(), "  %s\n", text.c_str());
  }
  void Title(const Board& board, PCI_Card& card) const {
    if (!options.json) std::fprintf(session.Out(), "%s\n", BoardTitle(board, card).c_str());
  }
  void Messages(const std::vector<DialogMessage>& messages) const {
    for (const DialogMessage& m : messages) Line(MessageLine(m));
  }
  void Finish(bool passed) {
    if (options.json)
      std::fprintf(session.Out(), "%s\n", nlohmann::json{{"boards", boards}, {"passed", passed}}.dump(2).c_str());
  }
};

// ---- eeprom show ----

int RunShow(const GlobalOptions& options, const EepromOptions& o) {
  Session session(options);
  SelectBoards(session.Dialog(), o.boards);
  Report report{options, session};
  bool failed = false;
  for (const Board& board : SelectedBoards(session)) {
    PCI_Card& card = MakeCurrent(session, board);
    EEPROMDialog dialog(card);
    dialog.Initialise();
    failed |= !dialog.messages.List().empty();
    const char* type = ei::NicTypeName(dialog.adapterType);
    const char* connection = ei::ConnectionTypeName(dialog.connectionType);
    const std::string date = dialog.monthText + "/" + dialog.dayText + "/" + dialog.yearText;
    const std::vector<std::pair<const char*, std::string>> fields = {
        {"Ethernet Address", dialog.ethernetAddressText},
        {"Virtual Ethernet Address", dialog.VirtualAddressEnabled() ? dialog.virtualAddressText : "(disabled)"},
        {"Program Date", date},
        {"Subsystem Vendor ID", dialog.subsystemVendorIdText},
        {"Subsystem ID", dialog.subsystemIdText},
        {"Board ID", dialog.boardIdText},
        {"Adapter Type", type ? type : ""},
        {"Connection Type", connection ? connection : ""},
    };
    report.Title(board, card);
    report.Messages(dialog.messages.List());
    nlohmann::json entry = BoardJson(board, card);
    for (const auto& [label, text] : fields) {
      report.Line(std::string(label) + ": " + text);
      entry["fields"][label] = text;
    }
    entry["fields"]["Virtual Ethernet Address"] =
        dialog.VirtualAddressEnabled() ? nlohmann::json(dialog.virtualAddressText) : nlohmann::json(nullptr);
    entry["messages"] = MessagesJson(dialog.messages.List());
    report.boards.push_back(entry);
  }
  report.Finish(!failed);
  return failed ? kExitFailed : kExitOk;
}

// ---- eeprom words ----

int RunWords(const GlobalOptions& options, const EepromOptions& o) {
  Session session(options);
  SelectBoards(session.Dialog(), o.boards);
  Report report{options, session};
  bool failed = false;
  for (const Board& board : SelectedBoards(session)) {
    PCI_Card& card = MakeCurrent(session, board);
    EEPROMDialog dialog(card);
    dialog.Advanced();
    failed |= !dialog.messages.List().empty();
    report.Title(board, card);
    report.Messages(dialog.messages.List());
    std::vector<std::vector<std::string>> table = {{"  Offset", "Name", "Value"}};
    nlohmann::json words = nlohmann::json::array();
    for (const auto& row : dialog.WordRows()) {
      table.push_back({"  " + row.offset, row.name, row.value});
      words.push_back({{"offset", row.offset}, {"name", row.name}, {"value", row.value}});
    }
    if (!options.json) PrintAlignedTable(session.Out(), table);
    nlohmann::json entry = BoardJson(board, card);
    entry["words"] = words;
    entry["messages"] = MessagesJson(dialog.messages.List());
    report.boards.push_back(entry);
  }
  report.Finish(!failed);
  return failed ? kExitFailed : kExitOk;
}

// ---- eeprom check ----

int RunCheck(const GlobalOptions& options, const EepromOptions& o) {
  Session session(options);
  SelectBoards(session.Dialog(), o.boards);
  Report report{options, session};
  bool failed = false;
  for (const Board& board : SelectedBoards(session)) {
    PCI_Card& card = MakeCurrent(session, board);
    report.Title(board, card);
    nlohmann::json entry = BoardJson(board, card);
    EepromWords words{};
    try {
      words = ep::ReadAll(card);
    } catch (const char* text) {
      failed = true;
      report.Line(std::string("EEProm error: ") + text);
      entry["error"] = text;
      report.boards.push_back(entry);
      continue;
    }
    const ei::Checksums sums = ei::VerifyChecksums(words.data());
    const bool idOk = sums.IdCrcMatches();
    const bool imageOk = sums.ImageCrcMatches();
    failed |= !idOk || !imageOk;
    report.Line("ID block CRC: stored " + Hex("0x%02x", sums.storedIdCrc) + " computed " +
                Hex("0x%02x", sums.computedIdCrc) + (idOk ? " OK" : " BAD"));
    report.Line("Image CRC: stored " + Hex("0x%04x", sums.storedImageCrc) + " computed " +
                Hex("0x%04x", sums.computedImageCrc) + (imageOk ? " OK" : " BAD"));
    entry["id_block_crc"] = {{"stored", Hex("0x%02x", sums.storedIdCrc)},
                             {"computed", Hex("0x%02x", sums.computedIdCrc)},
                             {"ok", idOk}};
    entry["image_crc"] = {{"stored", Hex("0x%04x", sums.storedImageCrc)},
                          {"computed", Hex("0x%04x", sums.computedImageCrc)},
                          {"ok", imageOk}};
    report.boards.push_back(entry);
  }
  report.Finish(!failed);
  return failed ? kExitFailed : kExitOk;
}

// ---- eeprom program ----

void CheckProgramOptions(const ProgramOptions& p) {
  if (p.mac.empty() == p.macPool.empty()) throw UsageError("eeprom program needs --mac or --mac-pool (one of them)");
  if (!p.macPool.empty() && !p.verify && !p.dryRun)
    throw UsageError("--mac-pool moves on only after a verified board; it cannot be used with --no-verify");
  if (!p.date.empty()) {
    size_t slashes = 0;
    for (char c : p.date) slashes += c == '/';
    if (slashes != 2) throw UsageError("--date takes M/D/YYYY, not \"" + p.date + "\"");
  }
  if (!p.adapterType.empty()) ChooseEntry("--adapter-type", p.adapterType, ei::NicTypeName, ei::kNicTypeCount);
  if (!p.connection.empty())
    ChooseEntry("--connection", p.connection, ei::ConnectionTypeName, ei::kConnectionTypeCount);
}

// The typed values go into the dialog's controls, as an operator would type them.
void FillDialog(EEPROMDialog& dialog, const ProgramOptions& p) {
  if (!p.mac.empty()) dialog.ethernetAddressText = p.mac;
  if (!p.date.empty()) {
    const size_t first = p.date.find('/');
    const size_t second = p.date.find('/', first + 1);
    dialog.monthText = p.date.substr(0, first);
    dialog.dayText = p.date.substr(first + 1, second - first - 1);
    dialog.yearText = p.date.substr(second + 1);
  }
  if (!p.subsystemVendor.empty()) dialog.subsystemVendorIdText = p.subsystemVendor;
  if (!p.subsystem.empty()) dialog.subsystemIdText = p.subsystem;
  if (!p.boardId.empty()) dialog.boardIdText = p.boardId;
  if (!p.adapterType.empty())
    dialog.adapterType = ChooseEntry("--adapter-type", p.adapterType, ei::NicTypeName, ei::kNicTypeCount);
  if (!p.connection.empty())
    dialog.connectionType = ChooseEntry("--connection", p.connection, ei::ConnectionTypeName, ei::kConnectionTypeCount);
}

std::string UtcStamp(int64_t seconds) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm utc{};
  gmtime_r(&t, &utc);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
  return text;
}

nlohmann::json Differences(const std::vector<ep::WordDifference>& list, const char* first, const char* second) {
  nlohmann::json out = nlohmann::json::array();
  for (const auto& d : list)
    out.push_back({{"word", Hex("%02x", static_cast<unsigned>(d.word))}, {first, Hex("0x%04x", d.first)},
                   {second, Hex("0x%04x", d.second)}});
  return out;
}

const char* OutcomeName(ep::Outcome outcome) {
  switch (outcome) {
    case ep::Outcome::Refused:
      return "refused";
    case ep::Outcome::DryRun:
      return "dry-run";
    case ep::Outcome::Failed:
      return "failed";
    case ep::Outcome::Programmed:
      return "programmed";
  }
  return "failed";
}

int RunProgram(const GlobalOptions& options, const EepromOptions& o) {
  const ProgramOptions& p = o.program;
  CheckProgramOptions(p);
  Session session(options);
  SelectBoards(session.Dialog(), o.boards);
  const std::vector<Board> boards = SelectedBoards(session);
  if (!p.mac.empty() && boards.size() > 1)
    throw UsageError("--mac gives one board its address; choose the board with --board, or take addresses from --mac-pool");

  MacPool pool(p.macPool);
  Report report{options, session};
  bool passed = true;
  bool anyWritten = false;
  for (const Board& board : boards) {
    PCI_Card& card = MakeCurrent(session, board);
    EEPROMDialog dialog(card);
    dialog.Initialise();
    const size_t initialMessages = dialog.messages.List().size();
    FillDialog(dialog, p);

    ep::Options run;
    run.dryRun = p.dryRun;
    run.verify = p.verify;
    run.force = p.force;
    run.backupDirectory = p.backupDir;
    run.now = session.System().WallClockSeconds();
    run.about = BoardTitle(board, card) + ", read before programming at " + UtcStamp(run.now);
    const ep::Result result =
        p.macPool.empty() ? ep::Program(dialog, card, run) : ep::ProgramFromPool(dialog, card, pool, run);

    // Bad input on the first board: nothing has been written anywhere.
    if (result.outcome == ep::Outcome::Refused && !anyWritten) {
      const auto& shown = dialog.messages.List();
      const bool fromDialog = shown.size() > initialMessages;
      throw UsageError(fromDialog ? MessageLine(shown.back()) : result.error);
    }

    report.Title(board, card);
    report.Messages({dialog.messages.List().begin(), dialog.messages.List().begin() + static_cast<long>(initialMessages)});
    nlohmann::json entry = BoardJson(board, card);
    entry["outcome"] = OutcomeName(result.outcome);
    entry["address"] = result.address.Format();
    entry["changes"] = Differences(result.changes, "old", "new");
    entry["backup"] = result.backupPath.empty() ? nlohmann::json(nullptr) : nlohmann::json(result.backupPath);
    entry["written"] = result.written;
    entry["verified"] = result.verified;
    entry["mismatches"] = Differences(result.mismatches, "expected", "read");
    entry["messages"] = MessagesJson(dialog.messages.List());
    if (!result.error.empty()) entry["error"] = result.error;
    anyWritten |= result.written;

    const auto changeLines = [&](const char* what) {
      for (const auto& d : result.changes)
        report.Line("Word " + Hex("%02x", static_cast<unsigned>(d.word)) + ": old " + Hex("0x%04x", d.first) + " new " +
                    Hex("0x%04x", d.second));
      report.Line(std::to_string(result.changes.size()) + " of 64 words " + what);
    };
    switch (result.outcome) {
      case ep::Outcome::DryRun:
        report.Line("Dry run for " + result.address.Format() + ": nothing written");
        changeLines("would change");
        break;
      case ep::Outcome::Programmed:
        report.Line("Backup: " + result.backupPath);
        report.Line("Programmed " + result.address.Format());
        changeLines("changed");
        report.Line(result.verified ? "Verified: all 64 words read back as written" : "Not verified (--no-verify)");
        if (!p.macPool.empty()) {
          try {
            report.Line("MAC pool " + pool.File() + ": next address " + pool.Next().Format());
          } catch (const MacPool::Error& e) {
            report.Line(e.what());
          }
        }
        break;
      case ep::Outcome::Refused:
      case ep::Outcome::Failed:
        passed = false;
        if (!result.backupPath.empty()) report.Line("Backup: " + result.backupPath);
        report.Messages({dialog.messages.List().begin() + static_cast<long>(initialMessages), dialog.messages.List().end()});
        for (const auto& d : result.mismatches)
          report.Line("Word " + Hex("%02x", static_cast<unsigned>(d.word)) + ": expected " + Hex("0x%04x", d.first) +
                      " read " + Hex("0x%04x", d.second));
        report.Line("FAILED: " + result.error);
        break;
    }
    report.boards.push_back(entry);
    // A failed board stops the run: the next one must not take the address it holds.
    if (!passed) break;
  }
  report.Finish(passed);
  return passed ? kExitOk : kExitFailed;
}

CLI::App* AddProgramOptions(CLI::App* command, ProgramOptions& p) {
  command->add_option("--mac", p.mac, "Ethernet address XX:XX:XX:XX:XX:XX to program (one board)");
  command->add_option("--mac-pool", p.macPool,
                      "Take the address from this settings file instead: section [MAC Pool], key \"Next Address\" "
                      "(xx:xx:xx:xx:xx:xx), optional key \"Last Address\" bounding the pool; the address after the "
                      "one used is stored there once the board verified. A name without a directory is looked for in "
                      "the current directory, and one without an extension gets \".ini\"");
  command->add_option("--date", p.date, "Program date M/D/YYYY (default: the date the EEPROM holds)");
  command->add_option("--subsystem-vendor", p.subsystemVendor, "Subsystem vendor ID, hexadecimal (default: as read)");
  command->add_option("--subsystem", p.subsystem, "Subsystem ID, hexadecimal (default: as read)");
  command->add_option("--board-id", p.boardId, "Board ID, hexadecimal (default: as read)");
  command->add_option("--adapter-type", p.adapterType,
                      "Adapter type: BSD, Linux, AIX, \"DEC Unix\", HP-UX, \"Windows NT\", \"SGI Irix\", Mac, Solaris, "
                      "NetWare, AS400 or Unknown (default: as read)");
  command->add_option("--connection", p.connection,
                      "Connection type: \"Auto Negotiate\", 10Base-T, \"10Base-T Full Duplex\", 100Base-T or "
                      "\"100Base-T Full Duplex\" (default: as read)");
  command->add_option("--backup-dir", p.backupDir,
                      "Directory for the backup of the old image, eeprom-backup-MAC-TIME.txt (default: the current "
                      "directory)");
  command->add_flag("--verify,!--no-verify", p.verify, "Read all 64 words back after writing (default: on)");
  command->add_flag("--dry-run", p.dryRun, "Show the words that would change (word, old, new); write nothing");
  command->add_flag("--force", p.force, "Program a multicast or all-zero address anyway");
  return command;
}

}  // namespace

void AddEepromCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run) {
  auto o = std::make_shared<EepromOptions>();
  auto* eeprom = app.add_subcommand("eeprom", "Read, check and program the serial EEPROM of the selected boards");
  eeprom->require_subcommand(1);

  auto* show = AddBoardOption(eeprom->add_subcommand("show", "The EEPROM dialog's fields of each board"), o->boards);
  show->callback([&options, &run, o] { run = [&options, o] { return RunShow(options, *o); }; });

  auto* words =
      AddBoardOption(eeprom->add_subcommand("words", "All 64 words with their labels (the dialog's Advanced list)"), o->boards);
  words->callback([&options, &run, o] { run = [&options, o] { return RunWords(options, *o); }; });

  auto* check = AddBoardOption(
      eeprom->add_subcommand("check", "Recompute both checksums and compare them with the stored ones (exit 1 when wrong)"),
      o->boards);
  check->callback([&options, &run, o] { run = [&options, o] { return RunCheck(options, *o); }; });

  auto* program = AddBoardOption(
      eeprom->add_subcommand("program",
                             "Program a complete new image as the dialog's OK does: the typed fields, the model's "
                             "defaults, both checksums; with a backup of the old image first and a read-back verify"),
      o->boards);
  AddProgramOptions(program, o->program);
  program->callback([&options, &run, o] { run = [&options, o] { return RunProgram(options, *o); }; });
}

}  // namespace dialog_cli
