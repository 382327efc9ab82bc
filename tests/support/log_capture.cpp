#include "log_capture.h"

#include <algorithm>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

#include "ox_toolkit.h"

namespace vvtest {

namespace {

std::mutex g_mutex;
std::condition_variable g_logged;
std::vector<LogLine> g_lines;
void (*g_previous)(int, const char*, int, const char*) = nullptr;

void Record(int level, const char* file, int line, const char* message)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_lines.push_back(LogLine{level, file, line, message});
    }
    g_logged.notify_all();
}

void RecordThenThrow(int level, const char* file, int line, const char* message)
{
    Record(level, file, line, message);
    throw std::runtime_error("log hook failed");
}

}  // namespace

LogCapture::LogCapture(Hook hook)
{
    Clear();
    g_previous = ox_libos_log_debug_ex;
    ox_libos_log_debug_ex = hook == Hook::Records ? &Record : &RecordThenThrow;
}

LogCapture::~LogCapture()
{
    ox_libos_log_debug_ex = g_previous;
}

std::vector<LogLine> LogCapture::Lines() const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_lines;
}

std::vector<std::string> LogCapture::Messages() const
{
    std::vector<std::string> messages;
    for (const auto& line : Lines()) {
        messages.push_back(line.message);
    }
    return messages;
}

std::size_t LogCapture::Count(const std::string& message) const
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return static_cast<std::size_t>(std::count_if(
        g_lines.begin(), g_lines.end(), [&](const LogLine& l) { return l.message == message; }));
}

void LogCapture::Clear()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.clear();
}

bool LogCapture::WaitFor(const std::string& message, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_logged.wait_for(lock, timeout, [&] {
        return std::any_of(g_lines.begin(), g_lines.end(),
                           [&](const LogLine& l) { return l.message == message; });
    });
}

}  // namespace vvtest
