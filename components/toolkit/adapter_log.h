// The one way the adapter writes to the host's debug log.
#pragma once

#include <string>

#include "ox_toolkit.h"

namespace Osmer_Framework {
namespace Face {

constexpr int kLogLevelError = 2;
constexpr int kLogLevelParse = 4;
constexpr const char* kLogSource = "CLS_VurodoroViri_Druvel";

// Calls the toolkit's hook when it is set; otherwise does nothing. What the hook throws stays
// here, so that logging never changes what the adapter does next.
inline void WriteLog(int level, int line, const char* message) noexcept
{
    auto* hook = ox_libos_log_debug_ex;
    if (hook != nullptr) {
        try {
            hook(level, kLogSource, line, message);
        } catch (...) {
        }
    }
}

inline void WriteLog(int level, int line, const std::string& message)
{
    WriteLog(level, line, message.c_str());
}

}  // namespace Face
}  // namespace Osmer_Framework

#define VV_LOG(level, message) ::Osmer_Framework::Face::WriteLog((level), __LINE__, (message))
