#include "utf8_console.h"

#ifdef _WIN32
#include <windows.h>

#include <cstdlib>
#endif

namespace facepad {

#ifdef _WIN32
namespace {
UINT g_previousOutputPage = 0;
}

void UseUtf8Console()
{
    g_previousOutputPage = GetConsoleOutputCP();  // 0 without a console: nothing to restore
    if (g_previousOutputPage != 0 && g_previousOutputPage != CP_UTF8 &&
        SetConsoleOutputCP(CP_UTF8)) {
        std::atexit([] { SetConsoleOutputCP(g_previousOutputPage); });
    }
}
#else
void UseUtf8Console() {}
#endif

}  // namespace facepad
