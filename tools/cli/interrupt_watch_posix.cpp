#include <atomic>
#include <csignal>

#include "interrupt_watch.h"

namespace facepad::cli {

namespace {

// Read by every sending thread: a lock-free atomic, which a signal handler may set.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void OnInterrupt(int)
{
    g_interrupted = true;
}

}  // namespace

// SIGTERM (a service manager, kill) asks for the same orderly stop as Ctrl-C.
InterruptWatch::InterruptWatch()
{
    std::signal(SIGINT, &OnInterrupt);
    std::signal(SIGTERM, &OnInterrupt);
}

InterruptWatch::~InterruptWatch()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

bool InterruptWatch::Interrupted()
{
    return g_interrupted;
}

}  // namespace facepad::cli
