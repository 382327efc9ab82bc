// Collects what the adapter writes to its debug log, so that a refusal can be explained.
#pragma once

#include <string>
#include <vector>

namespace facepad::cli {

// Installs the adapter's log hook. With `echo` every line also goes to stderr as it comes.
void CaptureAdapterLog(bool echo);
// Lines logged since the last call, oldest first.
std::vector<std::string> TakeAdapterLog();

}  // namespace facepad::cli
