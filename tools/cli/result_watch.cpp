#include "result_watch.h"

#include <CLS_VurodoroViri_Druvel.h>
#include <VurodoroViri_Diagnostics.h>
#include <VurodoroViri_Options.h>

#include <condition_variable>
#include <mutex>
#include <thread>

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

void PausePolling(Osmer_Framework::Face::VurodoroViri_Druvel& adapter)
{
    Osmer_Framework::Face::VurodoroViri_SetPollingMode(
        adapter, Osmer_Framework::Face::VurodoroViri_PollingMode::Paused);
}

void CollectResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                    std::function<void(const ArrivedResult&)> onArrival, bool keep)
{
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_onArrival = std::move(onArrival);
        g_keep = keep;
    }
    adapter.SetResultCallbackFace(&Collect);
    Osmer_Framework::Face::VurodoroViri_SetPollingMode(
        adapter, Osmer_Framework::Face::VurodoroViri_PollingMode::Drain);
}

void StopCollecting(Osmer_Framework::Face::VurodoroViri_Druvel& adapter)
{
    PausePolling(adapter);
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

namespace {

constexpr auto kRecordCheck = std::chrono::milliseconds(20);

Osmer_Framework::Face::VurodoroViri_PollRecord PollRecord()
{
    return Osmer_Framework::Face::VurodoroViri_GetPollRecord();
}

}  // namespace

PollWatch::PollWatch()
    : m_lostBefore(PollRecord().mayHaveLostResults), m_nothingBefore(PollRecord().foundNothing)
{
}

// The poll record has no event to wait on; it is read again every few milliseconds.
bool PollWatch::WaitUntilGatewayHoldsNone(std::chrono::steady_clock::duration limit,
                                          const std::function<bool()>& stop) const
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (PollRecord().foundNothing == m_nothingBefore) {
        if (stop() || std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(kRecordCheck);
    }
    return true;
}

unsigned long long PollWatch::MayHaveLostResults() const
{
    return PollRecord().mayHaveLostResults - m_lostBefore;
}

std::string PollWatch::LostWarning() const
{
    const unsigned long long lost = MayHaveLostResults();
    if (lost == 0) {
        return std::string();
    }
    return "; " + std::to_string(lost) +
           " poll(s) failed after they were sent, so results they took off the gateway may be "
           "lost (" +
           PollRecord().last.detail +
           "); a proxy whose read time-out is shorter than the gateway's answers does this: see "
           "docs/transport.md";
}

}  // namespace facepad::cli
