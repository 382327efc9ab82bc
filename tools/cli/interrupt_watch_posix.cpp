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

InterruptWatch::InterruptWatch()
{
    std::signal(SIGINT, &OnInterrupt);
}

InterruptWatch::~InterruptWatch()
{
    std::signal(SIGINT, SIG_DFL);
}

bool InterruptWatch::Interrupted()
{
    return g_interrupted != 0;
}

}  // namespace facepad::cli
