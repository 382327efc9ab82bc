#include "polling_control.h"

#include <algorithm>

namespace Osmer_Framework {
namespace Face {

namespace {
// How often a waiting destructor repeats the abort: a request that was still connecting when it
// was first aborted is caught on the next round.
constexpr auto kAbortRetry = std::chrono::milliseconds(5);
// A paused thread's wait: ended by a change of rhythm or the stop flag, never by the clock.
constexpr std::chrono::microseconds kPaused = std::chrono::hours(24 * 365);
// A draining thread whose last poll brought nothing asks again after the host rhythm's fast wait.
constexpr int kDrainIdleNaps = 10;
}  // namespace

PollingControl& PollingControl::Instance()
{
    // Never destroyed: detached threads may still be ending while the process exits.
    static PollingControl* instance = new PollingControl();
    return *instance;
}

void PollingControl::Adopt(VurodoroViri_Druvel* adapter, const PollingStatics& statics)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_carGate.store(&statics.carGate);
    m_threadQuit.store(&statics.threadQuit);
    statics.carGate.store(adapter);
    statics.threadQuit.store(false);
}

bool PollingControl::StopRequested() const
{
    const std::atomic<bool>* flag = m_threadQuit.load();
    return flag != nullptr && flag->load();
}

VurodoroViri_Druvel* PollingControl::CurrentAdapter() const
{
    const std::atomic<VurodoroViri_Druvel*>* carGate = m_carGate.load();
    return carGate != nullptr ? carGate->load() : nullptr;
}

void PollingControl::StartPoller(void (*body)())
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_pendingStarts;
    }
    try {
        std::thread(body).detach();
    } catch (...) {
        std::lock_guard<std::mutex> lock(m_mutex);
        --m_pendingStarts;
        m_changed.notify_all();
        throw;
    }
}

bool PollingControl::IsRetiring(const VurodoroViri_Druvel* adapter) const
{
    return std::find(m_retiring.begin(), m_retiring.end(), adapter) != m_retiring.end();
}

bool PollingControl::RetireFinished(const VurodoroViri_Druvel* adapter, std::thread::id self) const
{
    const auto usesAdapter = [&](const PollerRecord& r) {
        return r.thread != self && r.leased == adapter;
    };
    if (!StopRequested()) {
        // A newer adapter was constructed meanwhile and the threads now work for it.
        return std::none_of(m_pollers.begin(), m_pollers.end(), usesAdapter);
    }
    const auto othersEnded = std::all_of(m_pollers.begin(), m_pollers.end(),
                                         [&](const PollerRecord& r) { return r.thread == self; });
    return othersEnded && m_pendingStarts == 0;
}

void PollingControl::CancelOtherRequests(std::thread::id self)
{
    for (PollerRecord& record : m_pollers) {
        if (record.thread != self) {
            record.cancel.Cancel();
        }
    }
}

void PollingControl::Retire(VurodoroViri_Druvel* adapter)
{
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(m_mutex);
    StoreStopFlag(true);
    m_retiring.push_back(adapter);
    m_changed.notify_all();
    while (!RetireFinished(adapter, self)) {
        CancelOtherRequests(self);
        m_changed.wait_for(lock, kAbortRetry);
    }
    m_retiring.erase(std::find(m_retiring.begin(), m_retiring.end(), adapter));
    if (m_firstPollAdapter == adapter) {
        m_firstPollAdapter = nullptr;  // a later adapter at the same address starts afresh
    }
    if (m_rhythmAdapter == adapter) {
        m_rhythmAdapter = nullptr;
    }
}

PollerRecord& PollingControl::Register()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_pendingStarts > 0) {
        --m_pendingStarts;
    }
    m_pollers.emplace_back();
    m_pollers.back().thread = std::this_thread::get_id();
    return m_pollers.back();
}

void PollingControl::Unregister(PollerRecord& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_pollers.remove_if([&](const PollerRecord& r) { return &r == &record; });
    m_changed.notify_all();
}

// Every change of the stop flag goes through this control and wakes the sleepers, so the thread
// sleeps through a whole wait instead of waking after each 100 ms nap to look at the flag: an
// idle adapter wakes once per poll, not ten times a second. The length is read again at each
// wake, so that a first-poll delay set during the first wait shortens it.
bool PollingControl::Wait(const PollWait& wait)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const auto start = std::chrono::steady_clock::now();
    for (;;) {
        if (StopRequested()) {
            return false;
        }
        const auto lastNap = start + WaitLength(wait) - m_napLength;
        if (std::chrono::steady_clock::now() >= lastNap) {
            break;
        }
        m_changed.wait_until(lock, lastNap);
    }
    for (;;) {
        const auto end = start + WaitLength(wait);
        if (StopRequested() || std::chrono::steady_clock::now() >= end) {
            return true;
        }
        m_changed.wait_until(lock, end);
    }
}

PollRhythm PollingControl::CurrentRhythm() const
{
    const bool forCurrent = m_rhythmAdapter != nullptr && m_rhythmAdapter == CurrentAdapter();
    return forCurrent ? m_rhythm : PollRhythm::Host;
}

std::chrono::microseconds PollingControl::WaitLength(const PollWait& wait) const
{
    switch (CurrentRhythm()) {
    case PollRhythm::Paused:
        return kPaused;
    case PollRhythm::Drain:
        return wait.first || wait.broughtResults ? std::chrono::microseconds(0)
                                                 : kDrainIdleNaps * m_napLength;
    case PollRhythm::Host:
        break;
    }
    const std::chrono::microseconds length = wait.naps * m_napLength;
    if (wait.first && m_firstPollAdapter != nullptr && m_firstPollAdapter == CurrentAdapter()) {
        return std::min(length, m_firstPollDelay);
    }
    return length;
}

void PollingControl::SetFirstPollDelay(const VurodoroViri_Druvel* adapter,
                                       std::chrono::microseconds delay)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_firstPollAdapter = adapter;
    m_firstPollDelay = delay;
    m_changed.notify_all();
}

// A tool that pauses polling before it stops must not lose the results of a poll under way: the
// gateway handed them out once, to that poll.
void PollingControl::SetRhythm(const VurodoroViri_Druvel* adapter, PollRhythm rhythm)
{
    const std::thread::id self = std::this_thread::get_id();
    std::unique_lock<std::mutex> lock(m_mutex);
    m_rhythmAdapter = adapter;
    m_rhythm = rhythm;
    m_changed.notify_all();
    if (rhythm == PollRhythm::Paused) {
        m_changed.wait(lock, [&] {
            return std::none_of(m_pollers.begin(), m_pollers.end(), [&](const PollerRecord& r) {
                return r.polling && r.thread != self;
            });
        });
    }
}

bool PollingControl::BeginPoll(PollerRecord& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    record.polling = CurrentRhythm() != PollRhythm::Paused;
    return record.polling;
}

void PollingControl::EndPoll(PollerRecord& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    record.polling = false;
    m_changed.notify_all();
}

void PollingControl::SetStopFlag(bool raised)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    StoreStopFlag(raised);
    m_changed.notify_all();
}

VurodoroViri_Druvel* PollingControl::Lease(PollerRecord& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    VurodoroViri_Druvel* adapter = CurrentAdapter();
    if (adapter == nullptr || IsRetiring(adapter)) {
        return nullptr;
    }
    record.leased = adapter;
    record.cancel.Reset();
    return adapter;
}

void PollingControl::Release(PollerRecord& record)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    record.leased = nullptr;
    m_changed.notify_all();
}

// Without an adapter ever adopted there is no flag to raise: nothing polls yet.
void PollingControl::StoreStopFlag(bool raised)
{
    std::atomic<bool>* flag = m_threadQuit.load();
    if (flag != nullptr) {
        flag->store(raised);
    }
}

void PollingControl::SetNapLength(std::chrono::microseconds length)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_napLength = length;
}

std::size_t PollingControl::RunningPollers()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_pollers.size() + m_pendingStarts;
}

}  // namespace Face
}  // namespace Osmer_Framework
