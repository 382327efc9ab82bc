// Runs one figure in a fresh copy of this program, so that its memory and CPU time are its own:
// no gateway threads, no heap left over from other figures.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace vvbench {

using Measurements = std::map<std::string, double>;

// Starts this executable with `arguments`, waits for it and reads the "name value" lines it
// prints. Empty when it could not be started or did not exit cleanly.
Measurements RunFreshProcess(const std::vector<std::string>& arguments);

// The child's side: one "name value" line.
void Report(const char* name, double value);

}  // namespace vvbench
