// Test seam into the adapter's process-wide polling state. Not installed and not part of the host
// interface: only the project's own tests include it.
#pragma once

#include <chrono>
#include <cstddef>

#include "CLS_VurodoroViri_Druvel.h"

namespace Osmer_Framework {
namespace Face {

struct VURODOROVIRI_DRUVEL_API VurodoroViri_TestAccess {
    // Length of one nap of the polling thread (100 ms in production).
    static void SetNapLength(std::chrono::microseconds length);
    static bool ThreadQuit();
    static void SetThreadQuit(bool raised);
    static VurodoroViri_Druvel* CarGate();
    // Polling threads started and not yet ended.
    static std::size_t RunningPollers();
};

}  // namespace Face
}  // namespace Osmer_Framework
