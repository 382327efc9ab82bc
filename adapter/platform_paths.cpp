#include "platform_paths.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <limits.h>
#include <unistd.h>
#endif

namespace Osmer_Framework {
namespace Face {

#ifdef _WIN32
std::string ExecutablePath()
{
    wchar_t wide[256] = {};
    const DWORD length = GetModuleFileNameW(nullptr, wide, 256);
    if (length == 0) {
        return std::string();
    }
    const int wideLength = static_cast<int>(length < 256 ? length : 255);
    const int size = WideCharToMultiByte(CP_ACP, 0, wide, wideLength, nullptr, 0, nullptr, nullptr);
    if (size <= 0) {
        return std::string();
    }
    std::string narrow(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide, wideLength, &narrow[0], size, nullptr, nullptr);
    return narrow;
}
#else
std::string ExecutablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0) {
        return std::string();
    }
    return std::string(buffer, static_cast<size_t>(length));
}
#endif

std::string JsonLibraryPathFor(const std::string& exePath)
{
    const auto slash = exePath.rfind('\\');
    const std::string directory =
        slash == std::string::npos ? std::string() : exePath.substr(0, slash + 1);
    return directory + "json.dll";
}

}  // namespace Face
}  // namespace Osmer_Framework
