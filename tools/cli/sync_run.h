// One run of sync-users or remove-users: check the input and every output before the first
// request, send what the journal has not seen, wait for results, and give every user on every
// terminal a final state in the summary, the report and the JSON document.
#pragma once

#include <atomic>
#include <map>
#include <memory>
#include <set>
#include <string>

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
    void SelectRetriedPairs();
    Verdict CheckOutputs() const;
    Verdict OpenJournal();
    void Collect(const ArrivedResult& result);
    void AwaitResults(SyncEnding& ending);
    SyncEnding Ending(const std::string& stopReason) const;
    struct Tally {
        std::map<std::string, std::size_t> counts;  // pairs by final state
        std::size_t pairs = 0;
        std::size_t notFine = 0;
    };
    Tally WriteOutcomes(const SyncEnding& ending, ReportWriter& report) const;
    std::string Summarise(const Tally& tally, const SyncEnding& ending);
    Verdict Finish(const SyncEnding& ending, const std::string& stopReason, ExitCode stopCode);
    std::string Problem(const std::string& text) const;

    SyncKind m_kind;
    Adapter& m_adapter;
    Output& m_out;
    const CommandLine& m_line;
    std::unique_ptr<SyncPlan> m_plan;
    std::unique_ptr<PairStates> m_states;
    SyncJournal m_journal;
    std::set<std::string> m_retriedSyncIds;
    std::atomic<std::size_t> m_foreignResults{0};
};

}  // namespace facepad::cli
