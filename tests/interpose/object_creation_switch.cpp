#include "object_creation_switch.h"

#include <dlfcn.h>

#include <atomic>

#include "ox_toolkit.h"

namespace vvtest {
namespace {

std::atomic<bool> g_failing{false};
std::atomic<std::size_t> g_calls{0};

using CreateObject = json_object* (*)();

CreateObject JsonCsOwn()
{
    static const CreateObject create =
        reinterpret_cast<CreateObject>(dlsym(RTLD_NEXT, "json_object_new_object"));
    return create;
}

}  // namespace

FailingObjectCreation::FailingObjectCreation()
{
    g_failing = true;
}

FailingObjectCreation::~FailingObjectCreation()
{
    g_failing = false;
}

std::size_t ObjectCreationCalls()
{
    return g_calls;
}

}  // namespace vvtest

// Default visibility: the tree builds with hidden symbols, and a hidden definition would not be
// seen by the adapter library.
extern "C" __attribute__((visibility("default"))) json_object* json_object_new_object(void)
{
    ++vvtest::g_calls;
    if (vvtest::g_failing) {
        return nullptr;
    }
    return vvtest::JsonCsOwn()();
}
