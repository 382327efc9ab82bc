// The journal of a sync: one line per event, written and flushed before and after each request,
// so that a sync started again with the same journal knows what already went out and never
// sends it twice. Lines are TAB-separated: EVENT SERIAL PIN KIND [DETAIL].
#pragma once

#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <tuple>

namespace facepad::cli {

// What is known of one request ("user" or "photo" of one pin on one terminal).
enum class SendState {
    Sending,   // written before the request; alone it means "may have arrived"
    Accepted,  // the gateway answered 200
    Refused,   // the gateway answered another status (detail: the reason)
    Unsent,    // the gateway was never reached (detail: the reason); may be sent again
};

struct JournalEntry {
    SendState state = SendState::Sending;
    std::string detail;
    std::optional<std::string> result;  // the terminal's result code, once it came
};

using JournalKey = std::tuple<std::string, std::string, std::string>;  // serial, pin, kind

class SyncJournal {
public:
    SyncJournal() = default;
    ~SyncJournal();
    SyncJournal(const SyncJournal&) = delete;
    SyncJournal& operator=(const SyncJournal&) = delete;

    // Reads what an earlier run left (if the file exists) and opens it for appending; without a
    // path the journal lives in memory only. Returns a problem or "".
    std::string Open(const std::string& path);
    // The identifier all command ids of this sync start with: kept across resumed runs.
    const std::string& SyncId() const { return m_syncId; }
    std::optional<JournalEntry> Find(const JournalKey& key) const;
    void Record(const JournalKey& key, SendState state, const std::string& detail = "");
    // Safe from the polling thread.
    void RecordResult(const JournalKey& key, const std::string& code);

private:
    void Append(const std::string& line);
    std::string Load(const std::string& path);

    mutable std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    std::string m_syncId;
    std::map<JournalKey, JournalEntry> m_entries;
};

}  // namespace facepad::cli
