#include "sync_run.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <algorithm>
#include <chrono>

#include "adapter_log.h"
#include "command_support.h"
#include "facepad_protocol.h"
#include "interrupt_watch.h"
#include "photo_file.h"
#include "result_watch.h"
#include "sync_progress.h"

namespace facepad::cli {

namespace {

using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;

constexpr char kUser[] = "user";
constexpr char kPhoto[] = "photo";
constexpr std::size_t kFailuresShown = 20;

std::string OneLine(std::string text)
{
    std::replace_if(
        text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return text;
}

std::string DescribeCode(const std::string& code)
{
    return "code " + code + " (" + DescribeResultCode(code) + ")";
}

json_object* OutcomeJson(const UserOutcome& o)
{
    json_object* object = json_object_new_object();
    json_object_object_add(object, "pin", JsonText(o.pin));
    json_object_object_add(object, "terminal", JsonText(o.serial));
    json_object_object_add(object, "state", JsonText(o.state));
    json_object_object_add(object, "detail", JsonText(o.detail));
    return object;
}

}  // namespace

UserSync::UserSync(Adapter& adapter, Output& out, const CommandLine& line)
    : m_adapter(adapter), m_out(out), m_line(line)
{
}

std::string UserSync::CommandId(const Item& item, const char* kind) const
{
    return m_journal.SyncId() + "." + item.row->pin + "." + kind;
}

JournalKey UserSync::Key(const Item& item, const char* kind) const
{
    return JournalKey{item.serial, item.row->pin, kind};
}

// Everything that can be refused without the gateway is refused here, before the first request.
Verdict UserSync::Prepare()
{
    m_users = ReadUserFile(m_line.csvFile, m_line.maxPhotoBytes);
    if (!m_users.problems.empty()) {
        json_object* list = json_object_new_array();
        for (const InputProblem& p : m_users.problems) {
            m_out.Say(p.Text());
            json_object* problem = json_object_new_object();
            json_object_object_add(problem, "file", JsonText(p.file));
            json_object_object_add(problem, "line",
                                   json_object_new_int64(static_cast<long long>(p.line)));
            json_object_object_add(problem, "message", JsonText(p.message));
            json_object_array_add(list, problem);
        }
        json_object_object_add(m_out.Document(), "problems", list);
        return UsageError("sync-users: " + std::to_string(m_users.problems.size()) +
                          " problem(s) in the input; nothing sent");
    }
    for (const std::string& serial : m_line.terminals) {
        if (serial.empty() || serial.find_first_of("\t\r\n") != std::string::npos) {
            return UsageError("sync-users: bad terminal serial \"" + serial + "\"; nothing sent");
        }
    }
    if (!ChooseItems()) {
        return UsageError(m_stopReason);
    }
    const std::string problem = m_journal.Open(m_line.dryRun ? std::string() : m_line.journalFile);
    if (!problem.empty()) {
        return UsageError("sync-users: " + problem + "; nothing sent");
    }
    return Verdict{};
}

// Every user on every terminal, or with --retry-failed only the pairs that did not land.
bool UserSync::ChooseItems()
{
    FailedPairs failed;
    if (!m_line.retryReport.empty()) {
        failed = ReadFailedPairs(m_line.retryReport);
        if (!failed.problem.empty()) {
            m_stopReason = "sync-users: " + failed.problem + "; nothing sent";
            return false;
        }
    }
    std::vector<std::string> serials = m_line.terminals;
    if (serials.empty()) {
        for (const auto& pair : failed.pairs) {
            if (std::find(serials.begin(), serials.end(), pair.first) == serials.end()) {
                serials.push_back(pair.first);
            }
        }
    }
    if (serials.empty()) {
        m_stopReason = "sync-users: name at least one --terminal; nothing sent";
        return false;
    }
    for (const UserRow& row : m_users.rows) {
        for (const std::string& serial : serials) {
            if (m_line.retryReport.empty() || failed.pairs.count({serial, row.pin}) > 0) {
                m_items.push_back(Item{&row, serial});
            }
        }
    }
    return true;
}

bool UserSync::SendOnce(const Item& item, const char* kind, const std::function<bool()>& request)
{
    const JournalKey key = Key(item, kind);
    const auto known = m_journal.Find(key);
    if (known && known->state != SendState::Unsent) {
        return true;  // sent (or possibly sent) by an earlier run: never again
    }
    m_journal.Record(key, SendState::Sending);
    const CallOutcome outcome = Call(request);
    TakeAdapterLog();
    if (outcome.ok) {
        m_journal.Record(key, SendState::Accepted);
        return true;
    }
    const std::string reason =
        OneLine(Reason(outcome, m_line.url + ":" + std::to_string(m_line.port)));
    if (!GatewayUnreachable(outcome)) {
        m_journal.Record(key, SendState::Refused, reason);
        return true;
    }
    const bool neverArrived = outcome.exchange == VurodoroViri_ExchangeOutcome::ConnectionRefused ||
                              outcome.exchange == VurodoroViri_ExchangeOutcome::BadUrl;
    m_journal.Record(key, neverArrived ? SendState::Unsent : SendState::Sending, reason);
    m_stopReason = "sync-users: stopped sending: " + reason;
    m_stopCode = CodeFor(outcome);
    return false;
}

bool UserSync::SendPhoto(const Item& item)
{
    const auto userState = m_journal.Find(Key(item, kUser));
    if (!userState || userState->state != SendState::Accepted) {
        return true;  // the user did not get there; its photo would only be refused
    }
    const UserRow& row = *item.row;
    return SendOnce(item, kPhoto, [&] {
        auto content = ReadPhotoAsBase64(row.photoPath, row.photoSize);
        if (!content) {
            return false;
        }
        std::map<std::string, std::string> photo{
            {member::kPin, row.pin},
            {member::kType, std::to_string(m_line.photoType)},
            {member::kSize, std::to_string(content->size())},
            {member::kContent, std::move(*content)},
            {member::kUrl, ""},
            {member::kFormat, std::to_string(m_line.photoFormat)}};
        return m_adapter.SetBiophoto(CommandId(item, kPhoto), item.serial, photo);
    });
}

void UserSync::SendItem(const Item& item)
{
    const UserRow& row = *item.row;
    const bool sent = SendOnce(item, kUser, [&] {
        std::map<std::string, std::string> user{
            {member::kPin, row.pin},          {member::kName, row.name},
            {member::kPri, row.pri},          {member::kPasswd, row.passwd},
            {member::kVerify, row.verify},    {member::kCard, row.card},
            {member::kViceCard, row.vicecard}};
        return m_adapter.AddUser(CommandId(item, kUser), item.serial, user);
    });
    if (sent && !row.photoPath.empty()) {
        SendPhoto(item);
    }
}

void UserSync::SendAll()
{
    SyncProgress progress(m_items.size(), m_line.progress);
    std::size_t failed = 0;
    for (const Item& item : m_items) {
        if (InterruptWatch::Interrupted() || !m_stopReason.empty()) {
            break;
        }
        SendItem(item);
        const UserOutcome now = Outcome(item);
        if (now.state != final_state::kSent && now.state != final_state::kDone &&
            now.state != final_state::kNoResult) {
            ++failed;
            progress.Failure("user " + now.pin + " on " + now.serial + ": " + now.state + ": " +
                             now.detail);
        }
        progress.Step(failed);
    }
    progress.Done();
}

bool UserSync::AllResultsIn() const
{
    for (const Item& item : m_items) {
        for (const char* kind : {kUser, kPhoto}) {
            const auto entry = m_journal.Find(Key(item, kind));
            if (entry && entry->state == SendState::Accepted && !entry->result) {
                return false;
            }
        }
    }
    return true;
}

// Results arrive through the callback on the polling thread; the wait ends as soon as every
// accepted request has one, or when the time is up, or on Ctrl-C.
void UserSync::WaitForResults()
{
    m_waited = true;
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::seconds(m_line.waitSeconds);
    while (!InterruptWatch::Interrupted() && !AllResultsIn() &&
           std::chrono::steady_clock::now() < deadline) {
        facepad::cli::WaitForResults(std::chrono::milliseconds(200),
                                     [this](const auto&) { return AllResultsIn(); });
    }
}

UserOutcome UserSync::Outcome(const Item& item) const
{
    UserOutcome o{
        item.row->pin,          item.serial,
        final_state::kChecked,  "",
        CommandId(item, kUser), item.row->photoPath.empty() ? "" : CommandId(item, kPhoto)};
    if (m_line.dryRun) {
        return o;
    }
    std::vector<const char*> kinds = {kUser};
    if (!item.row->photoPath.empty()) {
        kinds.push_back(kPhoto);
    }
    bool allDone = true;
    for (const char* kind : kinds) {
        const auto entry = m_journal.Find(Key(item, kind));
        const std::string prefix = std::string(kind) + ": ";
        if (!entry || entry->state == SendState::Unsent) {
            o.state = final_state::kNotSent;
            o.detail = prefix + (entry ? entry->detail : "not sent: the sync stopped before it");
            return o;
        }
        if (entry->state == SendState::Sending) {
            o.state = final_state::kUncertain;
            o.detail = prefix + "cut off while sending, so never sent again" +
                       (entry->detail.empty() ? "" : ": " + entry->detail);
            return o;
        }
        if (entry->state == SendState::Refused) {
            o.state = final_state::kRejected;
            o.detail = prefix + entry->detail;
            return o;
        }
        if (entry->result && *entry->result != result_code::kDone) {
            o.state = final_state::kTerminalError;
            o.detail = prefix + "terminal returned " + DescribeCode(*entry->result);
            return o;
        }
        allDone = allDone && entry->result.has_value();
    }
    if (allDone) {
        o.state = final_state::kDone;
    } else if (m_waited) {
        o.state = final_state::kNoResult;
        o.detail = "no result within " + std::to_string(m_line.waitSeconds) + " s";
    } else {
        o.state = final_state::kSent;
        o.detail = "accepted by the gateway; results not awaited (--wait-results)";
    }
    return o;
}

Verdict UserSync::Finish(const std::vector<UserOutcome>& outcomes)
{
    std::map<std::string, std::size_t> counts;
    json_object* users = json_object_new_array();
    std::size_t shown = 0;
    for (const UserOutcome& o : outcomes) {
        ++counts[o.state];
        json_object_array_add(users, OutcomeJson(o));
        const bool fine = o.state == final_state::kDone || o.state == final_state::kSent ||
                          o.state == final_state::kChecked;
        if (!fine && shown++ < kFailuresShown) {
            m_out.Say("user " + o.pin + " on " + o.serial + ": " + o.state + ": " + o.detail);
        }
    }
    if (shown > kFailuresShown) {
        m_out.Say("... and " + std::to_string(shown - kFailuresShown) + " more (see --report)");
    }
    json_object_object_add(m_out.Document(), "users", users);
    json_object* summary = json_object_new_object();
    std::string text;
    for (const auto& [state, count] : counts) {
        json_object_object_add(summary, state.c_str(),
                               json_object_new_int64(static_cast<long long>(count)));
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + state;
    }
    json_object_object_add(m_out.Document(), "summary", summary);
    m_out.Set("sync_id", m_journal.SyncId());
    if (!m_line.reportFile.empty()) {
        const std::string problem = WriteReport(m_line.reportFile, outcomes);
        if (!problem.empty()) {
            return Verdict{ExitCode::Usage, "sync-users: " + problem};
        }
    }
    const std::string message =
        "sync-users: " + std::to_string(m_users.rows.size()) + " user(s), " +
        std::to_string(outcomes.size()) +
        " user-terminal pair(s): " + (text.empty() ? "nothing to do" : text);
    if (InterruptWatch::Interrupted()) {
        return Verdict{ExitCode::Interrupted,
                       message + "; interrupted: run again with the same --journal to resume"};
    }
    if (!m_stopReason.empty()) {
        return Verdict{m_stopCode, message + "; " + m_stopReason};
    }
    const bool allFine = counts.size() == counts.count(final_state::kDone) +
                                              counts.count(final_state::kSent) +
                                              counts.count(final_state::kChecked);
    return Verdict{allFine ? ExitCode::Success : ExitCode::Refused, message};
}

Verdict UserSync::Run()
{
    const Verdict prepared = Prepare();
    if (prepared.code != ExitCode::Success) {
        return prepared;
    }
    if (!m_line.dryRun) {
        for (const Item& item : m_items) {
            m_keysById[{item.serial, CommandId(item, kUser)}] = Key(item, kUser);
            m_keysById[{item.serial, CommandId(item, kPhoto)}] = Key(item, kPhoto);
        }
        // Installed even without --wait-results: a result list that found no callback would
        // end the polling thread and lose the results it took off the gateway.
        CollectResults(m_adapter, [this](const ArrivedResult& r) {
            const auto found = m_keysById.find({r.serial, r.id});
            if (found != m_keysById.end()) {
                m_journal.RecordResult(found->second, r.code);
            }
        });
        const InterruptWatch watch;
        SendAll();
        if (m_line.waitSeconds >= 0 && m_stopReason.empty()) {
            WaitForResults();
        }
    }
    std::vector<UserOutcome> outcomes;
    outcomes.reserve(m_items.size());
    for (const Item& item : m_items) {
        outcomes.push_back(Outcome(item));
    }
    return Finish(outcomes);
}

}  // namespace facepad::cli
