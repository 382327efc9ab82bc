// Stops a Windows console program as a person does, with a console event, never by killing it
// (scripts/windows-bundle-check runs it under wine).   console_break STOP_FILE COMMAND_LINE
// Starts COMMAND_LINE in a process group of its own, waits for STOP_FILE, sends Ctrl-Break (Ctrl-C
// where refused, as in wine) and exits with the program's code, or 120..122 (below).
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

constexpr DWORD kPollMs = 100;
constexpr DWORD kStopWaitMs = 10000;
constexpr int kUsage = 2;
constexpr int kNotStarted = 120;
constexpr int kEndedEarly = 121;
constexpr int kStillRunning = 122;

int Fail(int code, const std::string& why)
{
    std::fprintf(stderr, "console_break: %s\n", why.c_str());
    return code;
}

HANDLE Inherited(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

const char* SendStop(DWORD group)
{
    if (GenerateConsoleCtrlEvent(CTRL_BREAK_EVENT, group)) {
        return "Ctrl-Break";
    }
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, group) ? "Ctrl-C" : nullptr;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        return Fail(kUsage, "usage: console_break STOP_FILE COMMAND_LINE");
    }
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = Inherited(STD_INPUT_HANDLE);
    startup.hStdOutput = Inherited(STD_OUTPUT_HANDLE);
    startup.hStdError = Inherited(STD_ERROR_HANDLE);
    // Console events reach only the processes of the sender's console. A program that wine starts
    // from a shell has none, so this one takes a console of its own, which the child shares.
    FreeConsole();
    if (!AllocConsole()) {
        return Fail(kNotStarted, "no console could be made");
    }
    std::string command = argv[2];
    PROCESS_INFORMATION child{};
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, nullptr, &startup, &child)) {
        return Fail(kNotStarted, "cannot start " + command);
    }
    while (GetFileAttributesA(argv[1]) == INVALID_FILE_ATTRIBUTES) {
        if (WaitForSingleObject(child.hProcess, kPollMs) == WAIT_OBJECT_0) {
            return Fail(kEndedEarly, "the program ended before it was asked to stop");
        }
    }
    const char* sent = SendStop(child.dwProcessId);
    if (sent == nullptr || WaitForSingleObject(child.hProcess, kStopWaitMs) != WAIT_OBJECT_0) {
        TerminateProcess(child.hProcess, kStillRunning);
        return Fail(kStillRunning, sent == nullptr ? "no console event could be sent"
                                                   : std::string("the program ignored ") + sent);
    }
    DWORD code = 0;
    GetExitCodeProcess(child.hProcess, &code);
    std::fprintf(stderr, "console_break: sent %s, the program exited with %lu\n", sent, code);
    return static_cast<int>(code);
}
