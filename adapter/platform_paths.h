// Where the host executable lives, and where the JSON library is looked for beside it.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

// Full path of the process's executable, file name included; "" when it cannot be read.
// Windows: GetModuleFileNameW into 256 wide characters (a longer path comes back cut), converted
// to the system ANSI code page (CP_ACP), the code page narrow Win32 file functions expect.
// Linux: the target of /proc/self/exe.
std::string ExecutablePath();

// Directory of `exePath` up to and including its last backslash, followed by "json.dll"; only a
// backslash separates (a Windows path), so a path without one gives the bare "json.dll".
std::string JsonLibraryPathFor(const std::string& exePath);

}  // namespace Face
}  // namespace Osmer_Framework
