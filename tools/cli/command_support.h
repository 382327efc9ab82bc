// What every subcommand does alike: declaring its options, making one call, and turning the
// call's outcome into a verdict with its reason.
#pragma once

#include <CLI/CLI.hpp>
#include <string>

#include "command_line.h"
#include "gateway_call.h"
#include "output.h"

namespace facepad::cli {

// "http://127.0.0.1:10001", as the adapter will post to it.
std::string GatewayAddress(const CommandLine& line);

// Declares a subcommand; choosing it sets `line.command` and `line.action` to `run`.
CLI::App* Subcommand(CLI::App& app, CommandLine& line, const char* name, const char* help,
                     Verdict (*run)(Adapter&, Output&, const CommandLine&));
// The serial number and --id of a terminal command.
void AddTargetOptions(CLI::App* sub, CommandLine& line);

// Records the call in the document ("outcome", "http_status", "reply", "adapter_log") and, when
// it failed, shows the adapter's log lines to people. The verdict reads "<what>: accepted by the
// gateway" or "<what>: FAILED: <reason>".
Verdict Conclude(Output& out, const CommandLine& line, const std::string& what,
                 const CallOutcome& outcome);
// A refusal before anything was sent.
Verdict UsageError(const std::string& message);

}  // namespace facepad::cli
