#include <windows.h>

#include <atomic>

#include "interrupt_watch.h"

namespace facepad::cli {

namespace {

std::atomic<bool> g_interrupted{false};

// Runs on a thread Windows starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        g_interrupted = true;
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process as soon as this returns, or when its grace time is up: the
        // sync stops at its next request and writes its report meanwhile. The journal is
        // flushed line by line, so it is complete either way.
        g_interrupted = true;
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

InterruptWatch::InterruptWatch()
{
    // Ctrl-C is taken even where a parent turned it off (a process started in a new process
    // group), as the POSIX side's signal() takes SIGINT whatever was inherited.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

InterruptWatch::~InterruptWatch()
{
    SetConsoleCtrlHandler(&OnConsoleEvent, FALSE);
}

bool InterruptWatch::Interrupted()
{
    return g_interrupted;
}

}  // namespace facepad::cli
