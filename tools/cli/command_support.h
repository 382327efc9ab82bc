// What every subcommand does alike: declaring its options, making one call, and turning the
// call's outcome into a verdict with its reason.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "command_line.h"
#include "gateway_call.h"
#include "output.h"

namespace facepad::cli {

// Declares a subcommand; choosing it sets `line.command` and `line.action` to `run`.
CLI::App* Subcommand(CLI::App& app, CommandLine& line, const char* name, const char* help,
                     Verdict (*run)(Adapter&, Output&, const CommandLine&));
// The serial number, --id and --wait of a terminal command.
void AddTargetOptions(CLI::App* sub, CommandLine& line);
// A terminal command (line.serial, line.id): refused before it is sent when --wait cannot be
// kept, concluded, then with --wait its result awaited.
Verdict RunTerminalCommand(Adapter& adapter, Output& out, const CommandLine& line,
                           const std::string& what, const std::function<bool()>& operation);

// Records the call in the document ("outcome", "endpoint", "http_status", "reply", "adapter_log";
// people see the adapter's log lines with --verbose only). The verdict reads "<what>: accepted by
// the gateway" or "<what>: FAILED: <reason>".
Verdict Conclude(Output& out, const CommandLine& line, const std::string& what,
                 const CallOutcome& outcome);
// A refusal before anything was sent.
Verdict UsageError(const std::string& message);

}  // namespace facepad::cli
