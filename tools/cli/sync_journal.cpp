#include "sync_journal.h"

#include <chrono>
#include <fstream>
#include <random>
#include <sstream>
#include <vector>

namespace facepad::cli {

namespace {

constexpr char kHeader[] = "# facepad-cli sync journal, id ";

const char* EventName(SendState state)
{
    switch (state) {
    case SendState::Sending:
        return "sending";
    case SendState::Accepted:
        return "accepted";
    case SendState::Refused:
        return "refused";
    case SendState::Unsent:
        return "unsent";
    }
    return "sending";
}

std::optional<SendState> EventState(const std::string& name)
{
    for (SendState s :
         {SendState::Sending, SendState::Accepted, SendState::Refused, SendState::Unsent}) {
        if (name == EventName(s)) {
            return s;
        }
    }
    return std::nullopt;
}

std::vector<std::string> SplitTabs(const std::string& line)
{
    std::vector<std::string> parts;
    std::stringstream in(line);
    std::string part;
    while (std::getline(in, part, '\t')) {
        parts.push_back(part);
    }
    return parts;
}

// Details come from gateway replies; they must stay on one journal line.
std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

std::string NewSyncId()
{
    std::mt19937 random(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count() ^ std::random_device{}()));
    static const char kDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
    std::string id = "s";
    for (int i = 0; i < 6; ++i) {
        id += kDigits[random() % 36];
    }
    return id;
}

}  // namespace

SyncJournal::~SyncJournal()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

std::string SyncJournal::Load(const std::string& path)
{
    std::ifstream in(path);
    std::string line;
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (number == 1) {
            if (line.rfind(kHeader, 0) != 0) {
                return path + ":1: not a sync journal of facepad-cli";
            }
            m_syncId = line.substr(sizeof kHeader - 1);
            continue;
        }
        const auto parts = SplitTabs(line);
        const auto state = parts.empty() ? std::nullopt : EventState(parts[0]);
        const bool isResult = !parts.empty() && parts[0] == "result";
        if (parts.size() < 4 || (!state && !isResult)) {
            continue;  // a line cut short by a crash; the ones before it stand
        }
        JournalEntry& entry = m_entries[JournalKey{parts[1], parts[2], parts[3]}];
        const std::string detail = parts.size() > 4 ? parts[4] : std::string();
        if (isResult) {
            entry.result = detail;
        } else {
            entry.state = *state;
            entry.detail = detail;
        }
    }
    return std::string();
}

std::string SyncJournal::Open(const std::string& path)
{
    if (path.empty()) {
        m_syncId = NewSyncId();
        return std::string();
    }
    if (std::ifstream(path)) {
        const std::string problem = Load(path);
        if (!problem.empty()) {
            return problem;
        }
    }
    m_file = std::fopen(path.c_str(), "a");
    if (m_file == nullptr) {
        return "cannot write the journal " + path;
    }
    if (m_syncId.empty()) {
        m_syncId = NewSyncId();
        Append(kHeader + m_syncId);
    }
    return std::string();
}

std::optional<JournalEntry> SyncJournal::Find(const JournalKey& key) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_entries.find(key);
    return found == m_entries.end() ? std::nullopt : std::optional<JournalEntry>(found->second);
}

// Flushed at once: a sync killed right after a request still has it on record.
void SyncJournal::Append(const std::string& line)
{
    if (m_file != nullptr) {
        std::fputs((line + "\n").c_str(), m_file);
        std::fflush(m_file);
    }
}

void SyncJournal::Record(const JournalKey& key, SendState state, const std::string& detail)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    JournalEntry& entry = m_entries[key];
    entry.state = state;
    entry.detail = OneLine(detail);
    Append(std::string(EventName(state)) + "\t" + std::get<0>(key) + "\t" + std::get<1>(key) +
           "\t" + std::get<2>(key) + "\t" + entry.detail);
}

void SyncJournal::RecordResult(const JournalKey& key, const std::string& code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_entries[key].result = code;
    Append("result\t" + std::get<0>(key) + "\t" + std::get<1>(key) + "\t" + std::get<2>(key) +
           "\t" + OneLine(code));
}

}  // namespace facepad::cli
