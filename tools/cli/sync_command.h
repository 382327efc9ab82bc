// sync-users and remove-users: a CSV of users onto (or off) one or more terminals through one
// adapter, with a final state for every user on every terminal.
#pragma once

#include <CLI/CLI.hpp>

#include "command_line.h"

namespace facepad::cli {

void AddSyncCommands(CLI::App& app, CommandLine& line);

}  // namespace facepad::cli
