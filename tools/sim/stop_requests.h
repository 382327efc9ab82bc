// What asks the simulator to stop: SIGINT or SIGTERM on POSIX systems; Ctrl-C, Ctrl-Break or the
// console closing on Windows. One per process, made on the main thread before any other thread
// starts, so that no other thread is interrupted by a signal.
#pragma once

#include <functional>

namespace facepad::sim {

class StopRequests {
public:
    StopRequests();
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

    // Blocks while `running` holds: true once asked to stop, false when `running` turned false.
    bool Wait(const std::function<bool()>& running);
};

}  // namespace facepad::sim
