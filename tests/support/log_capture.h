// Captures what the adapter writes through the toolkit's debug-log hook.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

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

    explicit LogCapture(Hook hook = Hook::Records);
    ~LogCapture();
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    std::vector<LogLine> Lines() const;
    std::vector<std::string> Messages() const;
    std::size_t Count(const std::string& message) const;
    void Clear();
    bool WaitFor(const std::string& message,
                 std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
};

}  // namespace vvtest
