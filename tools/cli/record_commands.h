// Subcommands that change one user's records on a terminal.
#pragma once

#include <CLI/CLI.hpp>

#include "command_line.h"

namespace facepad::cli {

void AddRecordCommands(CLI::App& app, CommandLine& line);

}  // namespace facepad::cli
