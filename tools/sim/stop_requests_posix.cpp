#include <csignal>
#include <ctime>

#include "stop_requests.h"

namespace facepad::sim {

namespace {

sigset_t StopSignals()
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    return signals;
}

}  // namespace

// The signals are taken by sigtimedwait on the main thread; every thread started from here on
// inherits the mask. A client that hangs up mid-answer must not end the process.
StopRequests::StopRequests()
{
    const sigset_t signals = StopSignals();
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
}

bool StopRequests::Wait(const std::function<bool()>& running)
{
    const sigset_t signals = StopSignals();
    const timespec slice{0, 200 * 1000 * 1000};
    while (running()) {
        if (sigtimedwait(&signals, nullptr, &slice) > 0) {
            return true;
        }
    }
    return false;
}

}  // namespace facepad::sim
