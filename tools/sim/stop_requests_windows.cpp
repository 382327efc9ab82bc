#include <windows.h>

#include "stop_requests.h"

namespace facepad::sim {

namespace {

constexpr DWORD kSliceMs = 200;

HANDLE g_stop = nullptr;  // manual-reset: once asked, asked for good

// Runs on a thread Windows starts for the event.
BOOL WINAPI OnConsoleEvent(DWORD event)
{
    switch (event) {
    case CTRL_C_EVENT:
    case CTRL_BREAK_EVENT:
        SetEvent(g_stop);
        return TRUE;
    case CTRL_CLOSE_EVENT:
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
        // Windows ends the process as soon as this returns, or when its grace time is up:
        // the main thread stops the server, closes the state and exits meanwhile.
        SetEvent(g_stop);
        Sleep(INFINITE);
        return TRUE;
    default:
        return FALSE;
    }
}

}  // namespace

StopRequests::StopRequests()
{
    g_stop = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    // A process started in a new process group has Ctrl-C turned off; the simulator takes it.
    SetConsoleCtrlHandler(nullptr, FALSE);
    SetConsoleCtrlHandler(&OnConsoleEvent, TRUE);
}

bool StopRequests::Wait(const std::function<bool()>& running)
{
    while (running()) {
        if (WaitForSingleObject(g_stop, kSliceMs) == WAIT_OBJECT_0) {
            return true;
        }
    }
    return false;
}

}  // namespace facepad::sim
