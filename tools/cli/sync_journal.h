// The journal of a sync: one line per event, written and flushed before and after each request,
// so that a sync started again with the same journal knows what already went out and never
// sends it twice. Lines are TAB-separated: EVENT SERIAL PIN KIND [DETAIL]; the first line names
// the subcommand and the sync id that every command id of the sync starts with.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "pair_states.h"
#include "sync_plan.h"

namespace facepad::cli {

// Details come from gateway replies; journal lines and report rows keep each on one line.
std::string OneLine(std::string text);

class SyncJournal {
public:
    SyncJournal() = default;
    ~SyncJournal();
    SyncJournal(const SyncJournal&) = delete;
    SyncJournal& operator=(const SyncJournal&) = delete;

    // Reads what an earlier run left (if the file exists) into `states` and opens the file for
    // appending; without a path the journal lives in memory only and the sync id is new.
    // Returns a problem or "".
    std::string Open(const std::string& path, const SyncPlan& plan, PairStates& states);
    // The identifier all command ids of this sync start with: kept across resumed runs.
    const std::string& SyncId() const { return m_syncId; }

    // Safe from any thread; each line is flushed before it returns.
    void Record(const SyncPlan& plan, std::size_t pair, Slot slot, SendState state,
                const std::string& detail);
    void RecordResult(const SyncPlan& plan, std::size_t pair, Slot slot, const std::string& code);

private:
    std::string Load(const std::string& path, const SyncPlan& plan, PairStates& states);
    void Append(const char* event, const SyncPlan& plan, std::size_t pair, Slot slot,
                const std::string& detail);

    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    std::string m_syncId;
};

}  // namespace facepad::cli
