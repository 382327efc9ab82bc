// One run of sync-users or remove-users: check the input and every output before the first
// request, send what the journal has not seen, wait for results, and give every user on every
// terminal a final state in the summary, the report and the JSON document.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "command_line.h"
#include "output.h"
#include "pair_states.h"
#include "result_watch.h"
#include "sync_journal.h"
#include "sync_outcome.h"
#include "sync_plan.h"
#include "sync_report.h"

namespace facepad::cli {

class UserSync : public std::enable_shared_from_this<UserSync> {
public:
    UserSync(SyncKind kind, Adapter& adapter, Output& out, const CommandLine& line);
    Verdict Run();

private:
    Verdict Prepare();
    Verdict ReadUsers(UserFile& users);
    Verdict ChooseTerminals(std::vector<std::string>& serials);
    Verdict CheckTerminals(const std::vector<std::string>& serials);
    void SelectRetriedPairs();
    void Hold(std::size_t pair, const FailedRow& row);
    UserOutcome OutcomeOf(std::size_t pair, const SyncEnding& ending) const;
    Verdict CheckOutputs() const;
    Verdict OpenJournal();
    bool Waits() const;
    bool StillHeld(std::size_t pair) const;
    void Collect(const ArrivedResult& result);
    bool CollectResultOf(const std::string& syncId, const ArrivedResult& result, bool heldOnly);
    void CollectEarlierResults();
    void AwaitResults(SyncEnding& ending);
    SyncEnding Ending(const std::string& stopReason) const;
    struct Tally {
        std::map<std::string, std::size_t> counts;  // pairs by final state
        std::size_t pairs = 0;
        std::size_t notFine = 0;
        std::size_t failed = 0;       // rejected, terminal-error, not-sent
        std::size_t unconfirmed = 0;  // sent, no-result, uncertain
        std::size_t leftOut = 0;      // held back from a retry, still unconfirmed
    };
    Tally WriteOutcomes(const SyncEnding& ending, ReportWriter& report) const;
    std::string Summarise(const Tally& tally, const SyncEnding& ending);
    Verdict Finish(const SyncEnding& ending, std::string stopReason, ExitCode stopCode);
    ExitCode FinalCode(const Tally& tally, const std::string& stopReason, ExitCode stopCode) const;
    std::string Problem(const std::string& text) const;

    SyncKind m_kind;
    Adapter& m_adapter;
    Output& m_out;
    const CommandLine& m_line;
    std::unique_ptr<SyncPlan> m_plan;
    std::unique_ptr<PairStates> m_states;
    SyncJournal m_journal;
    std::set<std::string> m_retriedSyncIds;
    // Pairs a retry does not send again: an earlier sync sent them and they may have been
    // carried out. Their results are still taken under the earlier sync's command ids.
    mutable std::mutex m_heldMutex;
    std::vector<bool> m_held;
    std::unordered_map<std::size_t, std::string> m_heldSyncIds;
    std::size_t m_heldCount = 0;
    std::atomic<std::size_t> m_foreignResults{0};
    PollWatch m_polls;
};

}  // namespace facepad::cli
