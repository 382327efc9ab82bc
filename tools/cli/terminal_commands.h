// Subcommands about one terminal: binding, status, door.
#pragma once

#include <CLI/CLI.hpp>

#include "command_line.h"

namespace facepad::cli {

void AddTerminalCommands(CLI::App& app, CommandLine& line);

}  // namespace facepad::cli
