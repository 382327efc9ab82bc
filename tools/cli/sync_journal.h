// The journal of a sync: one line per event, written and flushed before and after each request,
// so that a sync started again with the same journal knows what already went out and never
// sends it twice. Lines are TAB-separated: EVENT SERIAL PIN KIND [DETAIL]; the first line names
// the subcommand and the sync id that every command id of the sync starts with.
//
// A journal that cannot be written is worse than none: a later resume would send again what it
// failed to record. So the first failed write is kept, and the sync stops sending at once; and
// the file is synced to the disk at least once a second and when it is closed, so that a crash
// of the machine loses at most the last second, never a line in the middle.
#pragma once

#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>

#include "pair_states.h"
#include "sync_plan.h"

namespace facepad::cli {

class SyncJournal {
public:
    SyncJournal() = default;
    ~SyncJournal();
    SyncJournal(const SyncJournal&) = delete;
    SyncJournal& operator=(const SyncJournal&) = delete;

    // Reads what an earlier run left (if the file exists) into `states` and opens the file for
    // appending; without a path the journal lives in memory only and the sync id is new.
    // Returns a problem or "". A last line cut short (a crash or a full disk while writing it) is
    // taken as not recorded, cut off the file, and said in Warning().
    std::string Open(const std::string& path, const SyncPlan& plan, PairStates& states);
    // The identifier all command ids of this sync start with: kept across resumed runs.
    const std::string& SyncId() const { return m_syncId; }
    const std::string& Warning() const { return m_warning; }

    // Safe from any thread; each line is flushed before it returns. False once a write failed:
    // from then on nothing is written, and Failure() says why.
    bool Record(const SyncPlan& plan, std::size_t pair, Slot slot, SendState state,
                const std::string& detail);
    bool RecordResult(const SyncPlan& plan, std::size_t pair, Slot slot, const std::string& code);
    // "" while every write succeeded; else "cannot write the journal PATH: REASON".
    std::string Failure() const;
    // Syncs and closes the file; returns Failure() as it then stands.
    std::string Close();

private:
    std::string Load(const std::string& path, const SyncPlan& plan, PairStates& states);
    bool Append(const char* event, const SyncPlan& plan, std::size_t pair, Slot slot,
                const std::string& detail);
    void Fail(const char* what);
    void SyncEverySecond();
    void StopSyncing();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_syncId;
    std::string m_warning;
    std::string m_failure;
    bool m_dirty = false;
    bool m_stopSyncing = false;
    std::thread m_syncer;
};

}  // namespace facepad::cli
