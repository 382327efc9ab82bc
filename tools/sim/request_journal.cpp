#include "request_journal.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>

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

constexpr std::size_t kLoggedAnswerChars = 160;

std::string Timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto millis =
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() %
        1000;
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min,
                  local.tm_sec, static_cast<int>(millis));
    return text;
}

// Photos and result lists can be long; a log line stays one short line.
std::string OneLine(std::string_view text)
{
    std::string line(text.substr(0, kLoggedAnswerChars));
    for (char& c : line) {
        c = (c == '\n' || c == '\r' || c == '\t') ? ' ' : c;
    }
    return text.size() > kLoggedAnswerChars ? line + "..." : line;
}

bool Matches(const JournalEntry& entry, const JournalFilter& filter)
{
    return entry.seq > filter.since && (filter.path.empty() || entry.path == filter.path) &&
           (filter.terminal.empty() || entry.terminal == filter.terminal);
}

}  // namespace

std::string FormatLogLine(const RequestToRecord& request)
{
    return Timestamp() + " " + std::string(request.method) + " " + std::string(request.path) + " " +
           std::to_string(request.status) + " in=" + std::to_string(request.body.size()) + "B " +
           (request.fault.empty() ? OneLine(request.answer)
                                  : "[fault: " + std::string(request.fault) + "]");
}

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
