#include "result_watch.h"

#include <CLS_VurodoroViri_Druvel.h>
#include <VurodoroViri_Options.h>

#include <condition_variable>
#include <mutex>

namespace facepad::cli {

namespace {

// The callback has no context pointer, so what it shares with the waiting thread is global.
std::mutex g_mutex;
std::condition_variable g_arrived;
std::map<std::string, std::map<std::string, std::string>> g_received;
std::function<void(const ArrivedResult&)> g_onArrival;
bool g_keep = true;

// Runs on the adapter's polling thread; clears what it took so it is not delivered again.
int Collect(std::map<std::string, std::map<std::string, std::string>>& results)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        for (const auto& [serial, entries] : results) {
            for (const auto& [id, code] : entries) {
                if (g_onArrival) {
                    g_onArrival(ArrivedResult{serial, id, code});
                }
                if (g_keep || !g_onArrival) {
                    g_received[serial][id] = code;
                }
            }
        }
    }
    results.clear();
    g_arrived.notify_all();
    return 0;
}

}  // namespace

void CollectResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                    std::function<void(const ArrivedResult&)> onArrival, bool keep)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_onArrival = std::move(onArrival);
        g_keep = keep;
    }
    adapter.SetResultCallbackFace(&Collect);
}

void PollSoon(Osmer_Framework::Face::VurodoroViri_Druvel& adapter)
{
    Osmer_Framework::Face::VurodoroViri_SetFirstPollDelay(adapter, std::chrono::milliseconds(500));
}

void StopCollecting()
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_onArrival = nullptr;
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
