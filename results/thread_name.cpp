#include "thread_name.h"

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <pthread.h>
#endif

namespace Osmer_Framework {
namespace Face {

#ifdef _WIN32
// SetThreadDescription exists from Windows 10 1607 on: looked up, not linked, so older systems
// still load the DLL.
void NameThisThread(const char* name)
{
    using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto set = kernel != nullptr ? reinterpret_cast<SetDescription>(reinterpret_cast<void*>(
                                             GetProcAddress(kernel, "SetThreadDescription")))
                                       : nullptr;
    if (set != nullptr) {
        const std::string narrow(name);
        set(GetCurrentThread(), std::wstring(narrow.begin(), narrow.end()).c_str());
    }
}
#else
void NameThisThread(const char* name)
{
    pthread_setname_np(pthread_self(), name);
}
#endif

}  // namespace Face
}  // namespace Osmer_Framework
