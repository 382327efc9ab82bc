// The page's user search at the size of a site (scripts/sim-bench search).
#pragma once

#include <string>

namespace facepad::bench {

// Loads `users` users into a simulator with its state under `directory`, times the state fetches
// the page makes when it searches, jumps and pages, prints the figures and returns 1 when one
// misses its target.
int RunSearchScale(const std::string& simulator, const std::string& directory, int users);

}  // namespace facepad::bench
