// The one request journal: every request a host sent to the gateway paths, kept in memory for the
// /_sim/ API (the last `capacity` of them, oldest dropped first, so that a long-running simulator
// stays small), and the stderr log line of each request, both from one RequestToRecord.
// Thread-safe: the server records on its worker threads while the API reads.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "journal_fields.h"

namespace facepad::sim {

inline constexpr std::size_t kDefaultJournalSize = 1000;

struct JournalEntry {
    std::uint64_t seq = 0;        // 1, 2, ...; never reused, not even after Clear()
    std::int64_t unixMillis = 0;  // when the answer was ready
    std::string method;
    std::string path;      // as received, with its leading "/"
    std::string terminal;  // the "SN" field; empty when the body has none
    std::vector<JournalField> fields;
    int status = 0;
    std::string answer;  // the reply body, cut
    std::string fault;   // empty unless an injected fault replaced the answer
};

// Views, not copies: a photo upload's body is megabytes, and the host waits while it is recorded.
struct RequestToRecord {
    std::string_view method;
    std::string_view path;
    std::string_view body;
    int status = 0;
    std::string_view answer;
    std::string_view fault;
};

// One line: local time, method, path, status, body size, and the start of the answer (or the
// fault that replaced it).
std::string FormatLogLine(const RequestToRecord& request);

struct JournalFilter {
    std::string path;         // exact, with its leading "/"; empty: any
    std::string terminal;     // exact "SN" value; empty: any
    std::uint64_t since = 0;  // only entries with a larger seq
};

struct JournalPage {
    std::vector<JournalEntry> entries;  // oldest first
    std::uint64_t last = 0;             // the seq of the newest entry ever recorded
    std::uint64_t dropped = 0;          // entries no longer kept because the journal was full
};

class RequestJournal {
public:
    explicit RequestJournal(std::size_t capacity = kDefaultJournalSize);

    void Record(const RequestToRecord& request);
    JournalPage Read(const JournalFilter& filter) const;
    // Forgets every entry; numbering goes on, so a reader polling with `since` misses nothing.
    void Clear();
    std::size_t Capacity() const { return m_capacity; }
    // The seq of the newest entry ever recorded; 0 before the first.
    std::uint64_t Last() const;

private:
    const std::size_t m_capacity;
    mutable std::mutex m_mutex;
    std::deque<JournalEntry> m_entries;
    std::uint64_t m_last = 0;
    std::uint64_t m_dropped = 0;
};

}  // namespace facepad::sim
