#include "request_journal.h"

#include <algorithm>
#include <chrono>

#include "facepad_protocol.h"

namespace facepad::sim {

namespace {

std::string TerminalOf(const std::vector<JournalField>& fields)
{
    for (const JournalField& field : fields) {
        if (field.name == facepad::field::kSerial) {
            return field.value;
        }
    }
    return std::string();
}

bool Matches(const JournalEntry& entry, const JournalFilter& filter)
{
    return entry.seq > filter.since && (filter.path.empty() || entry.path == filter.path) &&
           (filter.terminal.empty() || entry.terminal == filter.terminal);
}

}  // namespace

RequestJournal::RequestJournal(std::size_t capacity)
    : m_capacity(std::max<std::size_t>(capacity, 1))
{
}

void RequestJournal::Record(const RequestToRecord& request)
{
    // Parsed outside the lock: a photo body can take a while and readers should not wait on it.
    JournalEntry entry;
    entry.unixMillis = std::chrono::duration_cast<std::chrono::milliseconds>(
                           std::chrono::system_clock::now().time_since_epoch())
                           .count();
    entry.method = std::string(request.method);
    entry.path = std::string(request.path);
    entry.fields = ParseJournalFields(request.body);
    entry.terminal = TerminalOf(entry.fields);
    entry.status = request.status;
    entry.answer = CutForJournal(request.answer);
    entry.fault = std::string(request.fault);

    std::lock_guard<std::mutex> lock(m_mutex);
    entry.seq = ++m_last;
    m_entries.push_back(std::move(entry));
    if (m_entries.size() > m_capacity) {
        m_entries.pop_front();
        ++m_dropped;
    }
}

JournalPage RequestJournal::Read(const JournalFilter& filter) const
{
    JournalPage page;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (const JournalEntry& entry : m_entries) {
        if (Matches(entry, filter)) {
            page.entries.push_back(entry);
        }
    }
    page.last = m_last;
    page.dropped = m_dropped;
    return page;
}

std::uint64_t RequestJournal::Last() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_last;
}

void RequestJournal::Clear()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries.clear();
    m_dropped = 0;
}

}  // namespace facepad::sim
