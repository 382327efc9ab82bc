// The terminals a sync goes to: -t serials (comma lists too), --terminals files of one serial a
// line, and the gateway's own list to check them against before anything is sent, so that a
// mistyped serial is one refusal rather than a failed result for every user.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"

namespace facepad::cli {

// Why `serial` cannot name a terminal (empty, a control character, not UTF-8), or "".
std::string SerialProblem(const std::string& serial);
// Adds the serials of `path` to `serials`, each once, skipping blank lines and '#' comments and
// the spaces around a serial. Returns the first problem ("FILE:LINE: reason") or "".
std::string ReadTerminalFile(const std::string& path, std::vector<std::string>& serials);

// The gateway's answer about `serials`: those it does not list, those it lists as not bound (when
// its list says so), or why it could not be asked.
struct TerminalCheck {
    Verdict failure;  // Success unless the gateway could not be asked or its list not read
    std::vector<std::string> unknown;
    std::vector<std::string> unbound;
};
TerminalCheck FindUnknownTerminals(Adapter& adapter, const CommandLine& line,
                                   const std::vector<std::string>& serials);

}  // namespace facepad::cli
