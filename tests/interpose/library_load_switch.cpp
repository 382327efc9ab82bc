#include "library_load_switch.h"

#include <dlfcn.h>

#include <atomic>
#include <mutex>

#include "ox_toolkit.h"

namespace vvtest {
namespace {

std::atomic<bool> g_failing{false};
std::mutex g_mutex;
std::vector<std::string> g_paths;

using LoadLibrary = int (*)(const char*);

LoadLibrary ToolkitsOwn()
{
    static const LoadLibrary load =
        reinterpret_cast<LoadLibrary>(dlsym(RTLD_NEXT, "json_load_lib"));
    return load;
}

}  // namespace

FailingLibraryLoad::FailingLibraryLoad()
{
    g_failing = true;
}

FailingLibraryLoad::~FailingLibraryLoad()
{
    g_failing = false;
}

std::vector<std::string> LibraryLoadPaths()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_paths;
}

}  // namespace vvtest

// Default visibility, as for json_object_new_object: the adapter library must bind to it.
extern "C" __attribute__((visibility("default"))) int json_load_lib(const char* path)
{
    {
        std::lock_guard<std::mutex> lock(vvtest::g_mutex);
        vvtest::g_paths.emplace_back(path != nullptr ? path : "(null)");
    }
    if (vvtest::g_failing) {
        return 0;
    }
    return vvtest::ToolkitsOwn()(path);
}
