#include "sync_journal.h"

#include <chrono>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

namespace facepad::cli {

namespace {

constexpr char kResultEvent[] = "result";

const char* HeaderFor(SyncKind kind)
{
    return kind == SyncKind::AddUsers ? "# facepad-cli sync journal, id "
                                      : "# facepad-cli remove-users journal, id ";
}

const char* EventName(SendState state)
{
    switch (state) {
    case SendState::Accepted:
        return "accepted";
    case SendState::Refused:
        return "refused";
    case SendState::Unsent:
        return "unsent";
    case SendState::None:
    case SendState::Sending:
        break;
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

// One event line into the states; lines of pairs this run does not plan are passed over.
void Apply(const std::vector<std::string>& parts, const SyncPlan& plan, PairStates& states)
{
    const auto state = EventState(parts[0]);
    const bool isResult = parts[0] == kResultEvent;
    const auto pair = plan.PairOf(parts[1], parts[2]);
    const auto slot = plan.SlotNamed(parts[3]);
    if ((!state && !isResult) || !pair || !slot) {
        return;
    }
    const std::string detail = parts.size() > 4 ? parts[4] : std::string();
    if (isResult) {
        states.SetResult(*pair, *slot, detail);
    } else {
        states.SetSend(*pair, *slot, *state, detail);
    }
}

}  // namespace

std::string OneLine(std::string text)
{
    for (char& c : text) {
        if (c == '\n' || c == '\r' || c == '\t') {
            c = ' ';
        }
    }
    return text;
}

SyncJournal::~SyncJournal()
{
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

std::string SyncJournal::Load(const std::string& path, const SyncPlan& plan, PairStates& states)
{
    std::ifstream in(path);
    std::string line;
    const std::string header = HeaderFor(plan.Kind());
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (number == 1) {
            if (line.rfind(header, 0) != 0) {
                return path + ":1: not a journal of this subcommand (expected \"" + header +
                       "...\")";
            }
            m_syncId = line.substr(header.size());
            continue;
        }
        const auto parts = SplitTabs(line);
        if (parts.size() >= 4) {
            Apply(parts, plan, states);  // a line cut short by a crash: the ones before it stand
        }
    }
    return std::string();
}

std::string SyncJournal::Open(const std::string& path, const SyncPlan& plan, PairStates& states)
{
    if (path.empty()) {
        m_syncId = NewSyncId();
        return std::string();
    }
    if (std::ifstream(path)) {
        const std::string problem = Load(path, plan, states);
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
        std::fprintf(m_file, "%s%s\n", HeaderFor(plan.Kind()), m_syncId.c_str());
        std::fflush(m_file);
    }
    return std::string();
}

// Flushed at once: a sync killed right after a request still has it on record.
void SyncJournal::Append(const char* event, const SyncPlan& plan, std::size_t pair, Slot slot,
                         const std::string& detail)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file != nullptr) {
        std::fprintf(m_file, "%s\t%s\t%s\t%s\t%s\n", event, plan.Terminal(pair).c_str(),
                     plan.User(pair).Pin().c_str(), plan.SlotName(slot), OneLine(detail).c_str());
        std::fflush(m_file);
    }
}

void SyncJournal::Record(const SyncPlan& plan, std::size_t pair, Slot slot, SendState state,
                         const std::string& detail)
{
    Append(EventName(state), plan, pair, slot, detail);
}

void SyncJournal::RecordResult(const SyncPlan& plan, std::size_t pair, Slot slot,
                               const std::string& code)
{
    Append(kResultEvent, plan, pair, slot, code);
}

}  // namespace facepad::cli
