// Captures what the adapter writes through the toolkit's debug-log hook.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "ox_toolkit.h"

namespace vvtest {

struct LogLine {
    int level;
    std::string file;
    int line;
    std::string message;
};

// Installs the hook for its lifetime (one capture at a time) and restores the previous one.
class LogCapture {
public:
    // Hosts write their hooks in C++; a hook may throw after it has taken the line.
    enum class Hook { Records, RecordsThenThrows };

    explicit LogCapture(Hook hook = Hook::Records) : m_previous(ox_libos_log_debug_ex)
    {
        Clear();
        ox_libos_log_debug_ex = hook == Hook::Records ? &Record : &RecordThenThrow;
    }
    ~LogCapture() { ox_libos_log_debug_ex = m_previous; }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> Lines() const
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        return Shared().lines;
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> messages;
        for (const LogLine& line : Lines()) {
            messages.push_back(line.message);
        }
        return messages;
    }
    void Clear()
    {
        std::lock_guard<std::mutex> lock(Shared().mutex);
        Shared().lines.clear();
    }
    bool WaitFor(const std::string& message,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const
    {
        std::unique_lock<std::mutex> lock(Shared().mutex);
        return Shared().logged.wait_for(lock, timeout, [&] {
            return std::any_of(Shared().lines.begin(), Shared().lines.end(),
                               [&](const LogLine& l) { return l.message == message; });
        });
    }

private:
    struct State {
        std::mutex mutex;
        std::condition_variable logged;
        std::vector<LogLine> lines;
    };
    static State& Shared()
    {
        static State state;
        return state;
    }
    static void Record(int level, const char* file, int line, const char* message)
    {
        {
            std::lock_guard<std::mutex> lock(Shared().mutex);
            Shared().lines.push_back(LogLine{level, file, line, message});
        }
        Shared().logged.notify_all();
    }
    static void RecordThenThrow(int level, const char* file, int line, const char* message)
    {
        Record(level, file, line, message);
        throw std::runtime_error("log hook failed");
    }

    void (*m_previous)(int, const char*, int, const char*);
};

}  // namespace vvtest
