// Subcommands about the gateway itself: its terminals, listen port, init settings, and the
// results it hands out.
#pragma once

#include <CLI/CLI.hpp>

#include "command_line.h"

namespace facepad::cli {

void AddGatewayCommands(CLI::App& app, CommandLine& line);

}  // namespace facepad::cli
