// Switches for json_object_new_object and json_load_lib as the adapter sees them, and what they
// saw.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <vector>

namespace vvtest {

extern std::atomic<bool> g_objectCreationFails;
extern std::atomic<bool> g_libraryLoadFails;
extern std::atomic<std::size_t> g_objectCreations;  // calls, failed or not

// Every path that reached this binary's json_load_lib, in order.
std::vector<std::string> LibraryLoadPaths();

}  // namespace vvtest
