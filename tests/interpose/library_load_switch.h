// Makes json_load_lib report failure while a FailingLibraryLoad lives, and records the paths the
// adapter asks it to load.
#pragma once

#include <string>
#include <vector>

namespace vvtest {

class FailingLibraryLoad {
public:
    FailingLibraryLoad();
    ~FailingLibraryLoad();
    FailingLibraryLoad(const FailingLibraryLoad&) = delete;
    FailingLibraryLoad& operator=(const FailingLibraryLoad&) = delete;
};

// Every path that reached this binary's json_load_lib, in order.
std::vector<std::string> LibraryLoadPaths();

}  // namespace vvtest
