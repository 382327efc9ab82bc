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
    static SendState StateAfter(const CallOutcome& outcome);
    // Journals the event; false (and sending stopped) when the journal cannot be written.
    bool Record(std::size_t pair, Slot slot, SendState state, const SendNote& note);
    // False (and sending stopped) after a run of proxy answers with no gateway behind them.
    bool NoteGatewayDown(const CallOutcome& outcome);
    void Stop(const std::string& reason, ExitCode code);
    void StopLocked(const std::string& reason, ExitCode code);
    void Report(std::size_t pair);

    Adapter& m_adapter;
    const CommandLine& m_line;
    const SyncPlan& m_plan;
    PairStates& m_states;
    SyncJournal& m_journal;

    // A proxy's 502 or 503 in a row, with no answer of the gateway's between them, stop the sync
    // as an unreachable gateway would: a short run, since each makes a pair uncertain.
    static constexpr std::size_t kNoGatewayAnswersBeforeStopping = 5;

    std::mutex m_mutex;  // the cursor, the stop reason, the proxy answers and the progress
    std::size_t m_cursor = 0;
    std::size_t m_noGatewayInARow = 0;
    std::string m_stopReason;
    ExitCode m_stopCode = ExitCode::Success;
    std::size_t m_failed = 0;
    std::size_t m_uncertain = 0;
    SyncProgress m_progress;
};

}  // namespace facepad::cli
