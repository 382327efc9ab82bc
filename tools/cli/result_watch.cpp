#include "result_watch.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <condition_variable>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

#include "facepad_protocol.h"

namespace facepad::cli {

namespace {

// The callback has no context pointer, so what it shares with the waiting thread is global.
std::mutex g_mutex;
std::condition_variable g_arrived;
std::size_t g_printed = 0;

// Runs on the adapter's polling thread; clears what it printed so it is not delivered again.
int PrintResults(std::map<std::string, std::map<std::string, std::string>>& results)
{
    std::size_t printed = 0;
    for (const auto& [serial, entries] : results) {
        for (const auto& [id, code] : entries) {
            std::printf("result: terminal %s, command %s -> %s (%s)\n", serial.c_str(), id.c_str(),
                        code.c_str(), DescribeResultCode(code).c_str());
            ++printed;
        }
    }
    std::fflush(stdout);
    results.clear();
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_printed += printed;
    }
    g_arrived.notify_all();
    return 0;
}

}  // namespace

std::size_t WatchResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                         std::chrono::seconds limit, std::size_t expected)
{
    adapter.SetResultCallbackFace(&PrintResults);
    std::unique_lock<std::mutex> lock(g_mutex);
    g_arrived.wait_for(lock, limit, [&] { return expected > 0 && g_printed >= expected; });
    return g_printed;
}

}  // namespace facepad::cli
