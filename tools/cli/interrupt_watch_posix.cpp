#include <csignal>

#include "interrupt_watch.h"

namespace facepad::cli {

namespace {

volatile std::sig_atomic_t g_interrupted = 0;

extern "C" void OnInterrupt(int)
{
    g_interrupted = 1;
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
    return g_interrupted != 0;
}

}  // namespace facepad::cli
