// --wait on a single terminal command: the collecting callback is installed before the command
// goes, then the run waits for that command's result and says what it means.
#pragma once

#include <optional>
#include <string>

#include "command_line.h"
#include "gateway_call.h"
#include "output.h"

namespace facepad::cli {

// Seconds to wait for results: nothing without --wait (--wait-results), or when its value is not
// a whole number of seconds above 0.
std::optional<int> WaitSeconds(const CommandLine& line);
// Why the wait cannot be kept, or "": not a whole number of seconds above 0.
std::string WaitProblem(const CommandLine& line);

// Before the command: a problem with --wait ("" when there is none), and the callback installed.
std::string PrepareResultWait(Adapter& adapter, const CommandLine& line);
// After a command that was accepted or may have been carried out: `sent` as it is without --wait;
// otherwise the command's result ("result: terminal T1, command 7 -> -1001 (terminal not bound)"),
// exit 1 when it is not 0; when none comes within the wait, exit 1 for an accepted command and
// `sent`'s code for one that may or may not have arrived. Results of other commands that the poll
// took off the gateway are listed too: nobody else will see them.
Verdict AwaitCommandResult(Output& out, Adapter& adapter, const CommandLine& line,
                           const std::string& serial, const std::string& id, Verdict sent);

}  // namespace facepad::cli
