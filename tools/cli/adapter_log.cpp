#include "adapter_log.h"

#include <ox_toolkit.h>

#include <cstdio>
#include <mutex>

namespace facepad::cli {

namespace {

std::mutex g_mutex;
std::vector<std::string> g_lines;
bool g_echo = false;

// Runs on whichever thread logs: the caller's for operations, the polling thread for results.
void Collect(int level, const char* /*file*/, int /*line*/, const char* message)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_lines.emplace_back(message);
    if (g_echo) {
        std::fprintf(stderr, "adapter log [%d]: %s\n", level, message);
    }
}

}  // namespace

void CaptureAdapterLog(bool echo)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_echo = echo;
    }
    ox_libos_log_debug_ex = &Collect;
}

std::vector<std::string> TakeAdapterLog()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<std::string> lines;
    lines.swap(g_lines);
    return lines;
}

}  // namespace facepad::cli
