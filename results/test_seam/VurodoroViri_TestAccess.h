// Test seam into the adapter's process-wide polling state. Not in the shipped library and not part
// of the host interface: the project's tests, bench and the tool's diagnostic link it.
#pragma once

#include <chrono>
#include <cstddef>

namespace Osmer_Framework {
namespace Face {

class VurodoroViri_Druvel;

struct VurodoroViri_TestAccess {
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
