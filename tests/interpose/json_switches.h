// Switches for json_object_new_object and json_load_lib as the adapter sees them.
#pragma once

#include <atomic>
#include <string>
#include <vector>

namespace vvtest {

extern std::atomic<bool> g_objectCreationFails;
extern std::atomic<bool> g_libraryLoadFails;

// Every path that reached this binary's json_load_lib, in order.
std::vector<std::string> LibraryLoadPaths();

}  // namespace vvtest
