// The life of the polling threads. Every adapter's thread reaches "the" adapter through the static
// m_pCarGate, so the process needs one place that decides when a thread may use that pointer and
// that lets a destructor wait until no thread does. The adapter is an opaque pointer here: the
// adapter hands over its two statics, and results/ never looks inside the class.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <list>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "Terminal_Http_Tool.h"

namespace Osmer_Framework {
namespace Face {

class VurodoroViri_Druvel;

// The adapter's process-wide statics: the adapter the threads work for and their stop flag.
struct PollingStatics {
    std::atomic<VurodoroViri_Druvel*>& carGate;
    std::atomic<bool>& threadQuit;
};

// One running polling thread, as the control sees it.
struct PollerRecord {
    std::thread::id thread;
    VurodoroViri_Druvel* leased = nullptr;  // the adapter it is using right now
    Terminal_Http_Cancel cancel;            // aborts its result request when the adapter goes
    bool polling = false;                   // between BeginPoll and EndPoll
};

// How the current adapter's thread spaces its polls (VurodoroViri_Options.h): the host's rhythm,
// no polls at all, or polls back to back while they bring results.
enum class PollRhythm { Host, Paused, Drain };

// What the thread knows when it starts a wait.
struct PollWait {
    int naps;                     // the host rhythm's naps
    bool first = false;           // the wait before the first poll
    bool broughtResults = false;  // the poll before it handed over a non-empty list
};

class PollingControl {
public:
    static PollingControl& Instance();

    // Constructor side: make `adapter` the one the threads work for and clear the stop flag.
    void Adopt(VurodoroViri_Druvel* adapter, const PollingStatics& statics);
    // Starts one detached thread on `body`; throws std::system_error when it cannot.
    void StartPoller(void (*body)());
    // Destructor side: raise the stop flag, wake sleeping threads, abort result requests in flight
    // and wait until no other thread can touch `adapter` again.
    void Retire(VurodoroViri_Druvel* adapter);

    // Thread side.
    PollerRecord& Register();
    void Unregister(PollerRecord& record);
    // Sleeps `naps` naps in a row. False when the stop flag is up before one of them (the thread
    // must end). A flag raised during the last nap cuts it short but is first seen after the
    // poll, as a check before each nap would see it. The first wait also ends early once a
    // first-poll delay set for the current adapter has passed.
    // A paused thread waits until the rhythm changes; a draining one polls again at once after a
    // poll that brought results.
    bool Wait(const PollWait& wait);
    // Host side (VurodoroViri_Options.h): the current adapter's first poll comes `delay` after
    // its thread began to wait, unless the 80 naps end sooner.
    void SetFirstPollDelay(const VurodoroViri_Druvel* adapter, std::chrono::microseconds delay);
    // Host side: the rhythm of `adapter`'s polls from the current wait on. Pausing returns once
    // no poll is under way (its list delivered), unless called on a polling thread.
    void SetRhythm(const VurodoroViri_Druvel* adapter, PollRhythm rhythm);
    // Thread side, around one poll (exchange, parse and delivery): false, and nothing begun,
    // when polling is paused.
    bool BeginPoll(PollerRecord& record);
    void EndPoll(PollerRecord& record);
    // The adapter the thread may use until Release(), or null when there is none to use.
    VurodoroViri_Druvel* Lease(PollerRecord& record);
    void Release(PollerRecord& record);

    // Before the first adapter: no stop request and no adapter, as the statics start out.
    bool StopRequested() const;
    void SetStopFlag(bool raised);
    VurodoroViri_Druvel* CurrentAdapter() const;

    // Test seam: how long one nap lasts (100 ms).
    void SetNapLength(std::chrono::microseconds length);
    std::size_t RunningPollers();

private:
    PollingControl() = default;
    bool IsRetiring(const VurodoroViri_Druvel* adapter) const;
    std::chrono::microseconds WaitLength(const PollWait& wait) const;
    PollRhythm CurrentRhythm() const;
    bool RetireFinished(const VurodoroViri_Druvel* adapter, std::thread::id self) const;
    void CancelOtherRequests(std::thread::id self);
    void StoreStopFlag(bool raised);

    // Set by the first Adopt; the statics live as long as the process.
    std::atomic<std::atomic<VurodoroViri_Druvel*>*> m_carGate{nullptr};
    std::atomic<std::atomic<bool>*> m_threadQuit{nullptr};
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::list<PollerRecord> m_pollers;
    std::vector<const VurodoroViri_Druvel*> m_retiring;
    std::size_t m_pendingStarts = 0;
    std::chrono::microseconds m_napLength{100000};
    const VurodoroViri_Druvel* m_firstPollAdapter = nullptr;  // the one a delay was set for
    std::chrono::microseconds m_firstPollDelay{0};
    const VurodoroViri_Druvel* m_rhythmAdapter = nullptr;  // the one a rhythm was set for
    PollRhythm m_rhythm = PollRhythm::Host;
};

// Holds the current adapter for the length of one poll (exchange and callback).
class AdapterLease {
public:
    explicit AdapterLease(PollerRecord& record)
        : m_record(record), m_adapter(PollingControl::Instance().Lease(record))
    {
    }
    ~AdapterLease()
    {
        if (m_adapter != nullptr) {
            PollingControl::Instance().Release(m_record);
        }
    }
    AdapterLease(const AdapterLease&) = delete;
    AdapterLease& operator=(const AdapterLease&) = delete;

    VurodoroViri_Druvel* get() const { return m_adapter; }

private:
    PollerRecord& m_record;
    VurodoroViri_Druvel* m_adapter;
};

}  // namespace Face
}  // namespace Osmer_Framework
