#include "result_watch.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <condition_variable>
#include <mutex>

namespace facepad::cli {

namespace {

// The callback has no context pointer, so what it shares with the waiting thread is global.
std::mutex g_mutex;
std::condition_variable g_arrived;
std::map<std::string, std::map<std::string, std::string>> g_received;
std::function<void(const ArrivedResult&)> g_onArrival;

// Runs on the adapter's polling thread; clears what it took so it is not delivered again.
int Collect(std::map<std::string, std::map<std::string, std::string>>& results)
{
    for (const auto& [serial, entries] : results) {
        for (const auto& [id, code] : entries) {
            if (g_onArrival) {
                g_onArrival(ArrivedResult{serial, id, code});
            }
            std::lock_guard<std::mutex> lock(g_mutex);
            g_received[serial][id] = code;
        }
    }
    results.clear();
    g_arrived.notify_all();
    return 0;
}

}  // namespace

void CollectResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                    std::function<void(const ArrivedResult&)> onArrival)
{
    g_onArrival = std::move(onArrival);
    adapter.SetResultCallbackFace(&Collect);
}

bool WaitForResults(
    std::chrono::steady_clock::duration limit,
    const std::function<bool(const std::map<std::string, std::map<std::string, std::string>>&)>&
        done)
{
    std::unique_lock<std::mutex> lock(g_mutex);
    return g_arrived.wait_for(lock, limit, [&] { return done(g_received); });
}

std::map<std::string, std::map<std::string, std::string>> ReceivedResults()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    return g_received;
}

}  // namespace facepad::cli
