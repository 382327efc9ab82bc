#include <windows.h>

#include <system_error>

#include "per_thread.h"

namespace Osmer_Framework {
namespace http {
namespace per_thread {

namespace {

void WINAPI Destroy(void* value)
{
    delete static_cast<PerThreadBase*>(value);
}

}  // namespace

unsigned long NewSlot()
{
    const DWORD slot = FlsAlloc(&Destroy);
    if (slot == FLS_OUT_OF_INDEXES) {
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "FlsAlloc");
    }
    return slot;
}

PerThreadBase* Get(unsigned long slot)
{
    return static_cast<PerThreadBase*>(FlsGetValue(slot));
}

void Set(unsigned long slot, PerThreadBase* value)
{
    if (!FlsSetValue(slot, value)) {
        delete value;
        throw std::system_error(static_cast<int>(GetLastError()), std::system_category(),
                                "FlsSetValue");
    }
}

}  // namespace per_thread
}  // namespace http
}  // namespace Osmer_Framework
