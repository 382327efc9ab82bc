#include <windows.h>

#include <string>

#include "state_lock.h"

namespace facepad::sim {

namespace {

// Byte-range locks are mandatory on Windows: the locked byte lies at 4 GiB, far beyond the id
// written at the start, so that a refused simulator can still read the id.
constexpr DWORD kLockedByteHigh = 1;

std::string Reason()
{
    char text[256] = {};
    const DWORD size = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, GetLastError(), 0, text, sizeof text, nullptr);
    std::string reason(text, size);
    while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r')) {
        reason.pop_back();
    }
    return reason;
}

// SQLite reads the state's path as UTF-8; its lock file's path is read the same way.
std::wstring Wide(const std::string& utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size > 0 ? size : 1), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, wide.data(), size);
    wide.resize(wide.size() - 1);
    return wide;
}

OVERLAPPED At(DWORD high, DWORD low)
{
    OVERLAPPED at{};
    at.Offset = low;
    at.OffsetHigh = high;
    return at;
}

// What the holder wrote.
std::string Written(HANDLE file)
{
    char text[32] = {};
    DWORD got = 0;
    OVERLAPPED start = At(0, 0);
    if (!ReadFile(file, text, sizeof text, &got, &start)) {
        got = 0;
    }
    return std::string(text, got);
}

// Written before the old text is cut, so that a reader never finds the file empty.
void WriteOwnId(HANDLE file)
{
    const std::string pid = std::to_string(GetCurrentProcessId()) + "\n";
    DWORD written = 0;
    OVERLAPPED start = At(0, 0);
    if (WriteFile(file, pid.data(), static_cast<DWORD>(pid.size()), &written, &start) &&
        written == pid.size()) {
        LARGE_INTEGER end{};
        end.QuadPart = static_cast<LONGLONG>(pid.size());
        SetFilePointerEx(file, end, nullptr, FILE_BEGIN);
        SetEndOfFile(file);
    }
}

}  // namespace

StateLock::StateLock(const std::string& statePath)
{
    const std::string path = StateLockPath(statePath);
    m_file = CreateFileW(Wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                         FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
    if (m_file == INVALID_HANDLE_VALUE) {
        throw StoreError("cannot open " + path +
                         ", the lock file that keeps other simulators off " + statePath + ": " +
                         Reason());
    }
    OVERLAPPED lockedByte = At(kLockedByteHigh, 0);
    if (!LockFileEx(m_file, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                    &lockedByte)) {
        const std::string why = GetLastError() == ERROR_LOCK_VIOLATION
                                    ? StateInUse(statePath, Written(m_file))
                                    : "cannot lock " + path + ": " + Reason();
        CloseHandle(m_file);
        throw StoreError(why);
    }
    WriteOwnId(m_file);
}

StateLock::~StateLock()
{
    CloseHandle(m_file);  // lets the lock go
}

}  // namespace facepad::sim
