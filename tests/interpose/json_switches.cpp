// The adapter library binds to these (default visibility: the tree builds with hidden symbols)
// instead of json-c's and the toolkit's; they forward unless a test switches them off.
#include "json_switches.h"

#include <dlfcn.h>

#include <mutex>

#include "ox_toolkit.h"

namespace vvtest {

std::atomic<bool> g_objectCreationFails{false};
std::atomic<bool> g_libraryLoadFails{false};
std::mutex g_mutex;
std::vector<std::string> g_paths;

std::vector<std::string> LibraryLoadPaths()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_paths;
}

template <typename Function>
Function Real(const char* name)
{
    return reinterpret_cast<Function>(dlsym(RTLD_NEXT, name));
}

}  // namespace vvtest

extern "C" __attribute__((visibility("default"))) json_object* json_object_new_object(void)
{
    static const auto real = vvtest::Real<json_object* (*)()>("json_object_new_object");
    return vvtest::g_objectCreationFails ? nullptr : real();
}

extern "C" __attribute__((visibility("default"))) int json_load_lib(const char* path)
{
    static const auto real = vvtest::Real<int (*)(const char*)>("json_load_lib");
    {
        std::lock_guard<std::mutex> lock(vvtest::g_mutex);
        vvtest::g_paths.emplace_back(path != nullptr ? path : "(null)");
    }
    return vvtest::g_libraryLoadFails ? 0 : real(path);
}
