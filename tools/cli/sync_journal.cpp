#include "sync_journal.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include "csv_record.h"

namespace facepad::cli {

namespace {

constexpr char kResultEvent[] = "result";
constexpr auto kSyncInterval = std::chrono::seconds(1);

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
    case SendState::Uncertain:
        return "uncertain";
    case SendState::None:
    case SendState::Sending:
        break;
    }
    return "sending";
}

std::optional<SendState> EventState(const std::string& name)
{
    for (SendState s : {SendState::Sending, SendState::Accepted, SendState::Refused,
                        SendState::Unsent, SendState::Uncertain}) {
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
        states.SetSend(*pair, *slot, *state, SendNote{detail, ""});
    }
}

// What the C library's last call left in errno, in words.
std::string SystemReason()
{
    return errno != 0 ? std::strerror(errno) : "write failed";
}

bool SyncToDisk(std::FILE* file)
{
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return ::fdatasync(::fileno(file)) == 0;
#endif
}

}  // namespace

SyncJournal::~SyncJournal()
{
    Close();
}

// Lines end in "\n"; one without it was being written when the run ended and counts as unwritten.
std::string SyncJournal::Load(const std::string& path, const SyncPlan& plan, PairStates& states)
{
    std::ifstream in(path, std::ios::binary);
    std::string line;
    const std::string header = HeaderFor(plan.Kind());
    std::uintmax_t whole = 0;  // bytes of the complete lines read so far
    for (std::size_t number = 1; std::getline(in, line); ++number) {
        if (in.eof()) {
            m_warning = path + ":" + std::to_string(number) +
                        ": the journal's last line was cut short (a crash or a full disk while it "
                        "was written): taken as not recorded";
            std::filesystem::resize_file(path, whole);
            break;
        }
        whole += line.size() + 1;
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
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
            Apply(parts, plan, states);
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
    m_path = path;
    if (std::ifstream(path)) {
        try {
            const std::string problem = Load(path, plan, states);
            if (!problem.empty()) {
                return problem;
            }
        } catch (const std::filesystem::filesystem_error& e) {
            return "cannot cut the journal " + path + " back to its last whole line: " + e.what();
        }
    }
    m_file = std::fopen(path.c_str(), "ab");
    if (m_file == nullptr) {
        return "cannot write the journal " + path + ": " + SystemReason();
    }
    if (m_syncId.empty()) {
        m_syncId = NewSyncId();
        errno = 0;
        if (std::fprintf(m_file, "%s%s\n", HeaderFor(plan.Kind()), m_syncId.c_str()) < 0 ||
            std::fflush(m_file) != 0 || !SyncToDisk(m_file)) {
            return "cannot write the journal " + path + ": " + SystemReason();
        }
    }
    m_syncer = std::thread([this] { SyncEverySecond(); });
    return std::string();
}

void SyncJournal::Fail(const char* what)
{
    if (m_failure.empty()) {
        m_failure =
            "cannot " + std::string(what) + " the journal " + m_path + ": " + SystemReason();
    }
}

// Flushed at once: a sync killed right after a request still has it on record.
bool SyncJournal::Append(const char* event, const SyncPlan& plan, std::size_t pair, Slot slot,
                         const std::string& detail)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file == nullptr) {
        return m_path.empty();  // a journal in memory only never fails; a closed one does
    }
    if (!m_failure.empty()) {
        return false;
    }
    errno = 0;
    const int written =
        std::fprintf(m_file, "%s\t%s\t%s\t%s\t%s\n", event, plan.Terminal(pair).c_str(),
                     plan.User(pair).Pin().c_str(), plan.SlotName(slot), OneLine(detail).c_str());
    if (written < 0 || std::fflush(m_file) != 0) {
        Fail("write");
        return false;
    }
    m_dirty = true;
    return true;
}

bool SyncJournal::Record(const SyncPlan& plan, std::size_t pair, Slot slot, SendState state,
                         const std::string& detail)
{
    return Append(EventName(state), plan, pair, slot, detail);
}

bool SyncJournal::RecordResult(const SyncPlan& plan, std::size_t pair, Slot slot,
                               const std::string& code)
{
    return Append(kResultEvent, plan, pair, slot, code);
}

std::string SyncJournal::Failure() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_failure;
}

// The lines are flushed to the system as they are written; this puts them on the disk. The sync
// itself runs outside the lock, so that writers never wait for the disk.
void SyncJournal::SyncEverySecond()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_stopSyncing) {
        m_wake.wait_for(lock, kSyncInterval, [this] { return m_stopSyncing; });
        if (!m_dirty || !m_failure.empty()) {
            continue;
        }
        m_dirty = false;
        lock.unlock();
        errno = 0;
        const bool synced = SyncToDisk(m_file);
        lock.lock();
        if (!synced) {
            Fail("sync");
        }
    }
}

void SyncJournal::StopSyncing()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopSyncing = true;
    }
    m_wake.notify_all();
    if (m_syncer.joinable()) {
        m_syncer.join();
    }
}

std::string SyncJournal::Close()
{
    StopSyncing();
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_file != nullptr) {
        errno = 0;
        if (m_failure.empty() && (std::fflush(m_file) != 0 || !SyncToDisk(m_file))) {
            Fail("sync");
        }
        if (std::fclose(m_file) != 0) {
            Fail("close");
        }
        m_file = nullptr;
    }
    return m_failure;
}

}  // namespace facepad::cli
