// orvdiag: the command-line front end of Orvane PCI Diagnostics.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <exception>
#include <string>

#include "cli/commands.h"
#include "cli/session.h"

int main(int argc, char** argv) {
  GlobalOptions options;
  CLI::App app{"Orvane PCI Diagnostics: bench and production tests for R51/R83 Ethernet adapters", "orvdiag"};
  app.require_subcommand(1);
  app.add_option("--bench", options.bench, "Bench file describing the simulated PC (default: the built-in bench)");
  app.add_option("--detect", options.detect, "Card detection: auto, r51, r83 or unknown")
      ->check(CLI::IsMember({"auto", "r51", "r83", "unknown"}));
  app.add_flag("--all-devices", options.allDevices, "List every PCI function, not only the adapters");
  app.add_flag("--debug-to-file", options.debugToFile, "Append diagnostic output to dump.dbg");
  app.add_flag("--results-file", options.resultsFile, "Append every results-log line to results.txt");
  app.add_flag("--json", options.json, "Print a machine-readable JSON report");

  CommandRunner run;
  AddListCommand(app, options, run);
  AddBoardCommands(app, options, run);
  AddDialogCommands(app, options, run);
  AddNetCommands(app, options, run);

  // Name an unknown command plainly instead of CLI11's "A subcommand is required".
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word == "--bench" || word == "--detect") {
      ++i;
      continue;
    }
    if (word.empty() || word[0] == '-') continue;
    bool known = false;
    for (const CLI::App* command : app.get_subcommands({})) known |= command->get_name() == word;
    if (!known) {
      std::fprintf(stderr, "orvdiag: unknown command \"%s\" (orvdiag --help lists the commands)\n", word.c_str());
      return kExitUsage;
    }
    break;
  }

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& error) {
    if (error.get_exit_code() == 0) return app.exit(error);  // --help
    std::fprintf(stderr, "orvdiag: %s\n", error.what());
    return kExitUsage;
  }

  try {
    return run();
  } catch (const UsageError& error) {
    std::fprintf(stderr, "orvdiag: %s\n", error.what());
    return kExitUsage;
  } catch (const std::exception& error) {
    std::fprintf(stderr, "orvdiag: %s\n", error.what());
    return kExitBackend;
  } catch (const char* text) {
    std::fprintf(stderr, "orvdiag: %s\n", text);
    return kExitBackend;
  }
}
