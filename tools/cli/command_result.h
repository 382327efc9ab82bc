// --wait on a single terminal command: the collecting callback is installed before the command
// goes, then the run waits for that command's result and says what it means.
#pragma once

#include <optional>
#include <string>

#include "command_line.h"
#include "gateway_call.h"
#include "output.h"

namespace facepad::cli {

// The adapter's first poll comes 80 naps of 100 ms after it starts, unless --fast-first-poll.
inline constexpr int kFirstPollSeconds = 8;

// Seconds to wait for results: nothing without --wait (--wait-results), or when its value is not
// a whole number of seconds above 0.
std::optional<int> WaitSeconds(const CommandLine& line);
// Why the wait cannot be kept, or "": not a number, or too short for the adapter's first poll.
std::string WaitProblem(const CommandLine& line);

// Before the command: a problem with --wait ("" when there is none), and the callback installed.
std::string PrepareResultWait(Adapter& adapter, const CommandLine& line);
// After the command: `accepted` as it is without --wait or when the gateway refused; otherwise
// the command's result ("result: terminal T1, command 7 -> -1001 (terminal not bound)"), exit 1
// when it is not 0 or does not come within the wait. Results of other commands that the poll took
// off the gateway are listed too: nobody else will see them.
Verdict AwaitCommandResult(Output& out, const CommandLine& line, const std::string& serial,
                           const std::string& id, Verdict accepted);

}  // namespace facepad::cli
