// The sending half of a sync: every pair that still needs a request goes out through the one
// adapter on `--jobs` threads, each request journaled before and after it, until all are sent, the
// operator interrupts, or the gateway cannot be reached.
#pragma once

#include <cstddef>
#include <functional>
#include <mutex>
#include <string>

#include "command_line.h"
#include "gateway_call.h"
#include "pair_states.h"
#include "sync_journal.h"
#include "sync_plan.h"
#include "sync_progress.h"

namespace facepad::cli {

class SyncSender {
public:
    SyncSender(Adapter& adapter, const CommandLine& line, const SyncPlan& plan, PairStates& states,
               SyncJournal& journal);

    // Returns when every thread has finished its request in flight.
    void Run();
    // Why sending stopped early ("" when it did not) and the exit code that goes with it.
    const std::string& StopReason() const { return m_stopReason; }
    ExitCode StopCode() const { return m_stopCode; }

private:
    bool NeedsWork(std::size_t pair) const;
    bool NextPair(std::size_t& pair);
    void Work();
    void SendPair(std::size_t pair);
    // Sends one request of the pair; false when the sync must stop.
    bool SendOnce(std::size_t pair, Slot slot, const std::function<bool()>& request);
    bool SendUser(std::size_t pair);
    bool SendPhoto(std::size_t pair);
    bool SendRemoval(std::size_t pair);
    void Stop(const CallOutcome& outcome, const std::string& reason);
    void Report(std::size_t pair);

    Adapter& m_adapter;
    const CommandLine& m_line;
    const SyncPlan& m_plan;
    PairStates& m_states;
    SyncJournal& m_journal;

    std::mutex m_mutex;  // the cursor, the stop reason and the progress
    std::size_t m_cursor = 0;
    std::string m_stopReason;
    ExitCode m_stopCode = ExitCode::Success;
    std::size_t m_failed = 0;
    SyncProgress m_progress;
};

}  // namespace facepad::cli
