#pragma once
#include <CLI/CLI.hpp>
#include <functional>

#include "cli/options.h"

// Each command registers its subcommand and sets `run` to what it does; the
// result is the process's exit status.
using CommandRunner = std::function<int()>;

void AddListCommand(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
void AddBoardCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
// The dialogs that act on one board at a time (EEPROM, Registers, card settings)
// and the Flash command.
void AddDialogCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
// The echo server, the echo test and the packet engine's self-test.
void AddNetCommands(CLI::App& app, const GlobalOptions& options, CommandRunner& run);
