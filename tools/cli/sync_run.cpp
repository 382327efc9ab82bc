#include "sync_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "command_result.h"
#include "command_support.h"
#include "file_checks.h"
#include "interrupt_watch.h"
#include "sync_report.h"
#include "sync_sender.h"

namespace facepad::cli {

namespace {

constexpr std::size_t kFailuresShown = 20;
constexpr auto kInterruptCheck = std::chrono::milliseconds(200);

json_object* OutcomeJson(const UserOutcome& o)
{
    json_object* object = json_object_new_object();
    json_object_object_add(object, "pin", JsonText(o.pin));
    json_object_object_add(object, "terminal", JsonText(o.serial));
    json_object_object_add(object, "state", JsonText(o.state));
    json_object_object_add(object, "detail", JsonText(o.detail));
    return object;
}

json_object* ProblemsJson(const std::vector<InputProblem>& problems)
{
    json_object* list = json_object_new_array();
    for (const InputProblem& p : problems) {
        json_object* problem = json_object_new_object();
        json_object_object_add(problem, "file", JsonText(p.file));
        json_object_object_add(problem, "line",
                               json_object_new_int64(static_cast<long long>(p.line)));
        json_object_object_add(problem, "message", JsonText(p.message));
        json_object_array_add(list, problem);
    }
    return list;
}

std::string Listed(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

// "s1a2b3c.1001.user" of this sync: the pin (which may hold dots) and the kind.
bool SplitCommandId(const std::string& id, const std::string& syncId, std::string& pin,
                    std::string& kind)
{
    const std::string prefix = syncId + ".";
    const std::size_t last = id.rfind('.');
    if (id.rfind(prefix, 0) != 0 || last == std::string::npos || last < prefix.size()) {
        return false;
    }
    pin = id.substr(prefix.size(), last - prefix.size());
    kind = id.substr(last + 1);
    return true;
}

}  // namespace

UserSync::UserSync(SyncKind kind, Adapter& adapter, Output& out, const CommandLine& line)
    : m_kind(kind), m_adapter(adapter), m_out(out), m_line(line)
{
}

std::string UserSync::Problem(const std::string& text) const
{
    return m_line.command + ": " + text + "; nothing sent";
}

Verdict UserSync::ReadUsers(UserFile& users)
{
    const UserColumns columns =
        m_kind == SyncKind::AddUsers ? UserColumns::Record : UserColumns::PinOnly;
    users = ReadUserFile(m_line.csvFile, m_line.maxPhotoBytes, columns);
    if (!users.problems.empty()) {
        for (const InputProblem& p : users.problems) {
            m_out.Say(p.Text());
        }
        json_object_object_add(m_out.Document(), "problems", ProblemsJson(users.problems));
        return UsageError(
            Problem(std::to_string(users.problems.size()) + " problem(s) in the input"));
    }
    if (!users.missingColumns.empty() && !m_line.allowMissingColumns) {
        m_out.SetList("missing_columns", users.missingColumns);
        return UsageError(Problem(
            m_line.csvFile + " has no column " + Listed(users.missingColumns) +
            ": each sync replaces the whole user record, so these would be sent empty and wipe "
            "what the terminals hold; add the columns, or --allow-missing-columns to send them "
            "empty"));
    }
    return Verdict{};
}

// The -t terminals, or with --retry-failed and none given, those of the report's failed rows.
Verdict UserSync::ChooseTerminals(std::vector<std::string>& serials)
{
    for (const std::string& serial : m_line.terminals) {
        if (serial.empty() || serial.find_first_of("\t\r\n") != std::string::npos) {
            return UsageError(Problem("bad terminal serial \"" + serial + "\""));
        }
        if (std::find(serials.begin(), serials.end(), serial) == serials.end()) {
            serials.push_back(serial);
        }
    }
    if (!m_line.retryReport.empty()) {
        const RetryReport report = ReadRetryReport(m_line.retryReport, [](const FailedRow&) {});
        if (!report.problem.empty()) {
            return UsageError(Problem(report.problem));
        }
        m_retriedSyncIds = report.syncIds;
        if (serials.empty()) {
            serials = report.serials;
        }
    }
    if (serials.empty()) {
        return UsageError(Problem("name at least one --terminal"));
    }
    return Verdict{};
}

void UserSync::SelectRetriedPairs()
{
    if (m_line.retryReport.empty()) {
        return;
    }
    std::vector<bool> selected(m_plan->Pairs(), false);
    ReadRetryReport(m_line.retryReport, [&](const FailedRow& row) {
        if (const auto pair = m_plan->PairOf(row.serial, row.pin)) {
            selected[*pair] = true;
        }
    });
    m_plan->SelectOnly(std::move(selected));
}

// Found now rather than after hours of sending.
Verdict UserSync::CheckOutputs() const
{
    const std::pair<const char*, const std::string*> outputs[] = {
        {"report", &m_line.reportFile}, {"journal", m_line.dryRun ? nullptr : &m_line.journalFile}};
    for (const auto& [what, path] : outputs) {
        if (path == nullptr || path->empty()) {
            continue;
        }
        const std::string problem = CheckOutputPath(*path);
        if (!problem.empty()) {
            return UsageError(
                Problem(std::string("cannot write the ") + what + " " + *path + ": " + problem));
        }
    }
    return Verdict{};
}

// A retry under the journal of the run it retries would find every failed pair on record and
// send nothing: it is refused instead.
Verdict UserSync::OpenJournal()
{
    const std::string problem =
        m_journal.Open(m_line.dryRun ? std::string() : m_line.journalFile, *m_plan, *m_states);
    if (!problem.empty()) {
        return UsageError(Problem(problem));
    }
    if (m_retriedSyncIds.count(m_journal.SyncId()) > 0) {
        return UsageError(Problem("the journal " + m_line.journalFile + " is that of sync " +
                                  m_journal.SyncId() + ", whose failures " + m_line.retryReport +
                                  " lists: it would send none of them again; give --retry-failed "
                                  "a new --journal (or none)"));
    }
    return Verdict{};
}

Verdict UserSync::Prepare()
{
    UserFile users;
    std::vector<std::string> serials;
    if (Verdict v = ReadUsers(users); v.code != ExitCode::Success) {
        return v;
    }
    if (Verdict v = ChooseTerminals(serials); v.code != ExitCode::Success) {
        return v;
    }
    const std::string waitProblem = WaitProblem(m_line);
    if (!waitProblem.empty()) {
        return UsageError(Problem(waitProblem));
    }
    m_plan = std::make_unique<SyncPlan>(m_kind, std::move(users.rows), std::move(serials));
    m_states = std::make_unique<PairStates>(m_plan->Pairs());
    SelectRetriedPairs();
    if (Verdict v = CheckOutputs(); v.code != ExitCode::Success) {
        return v;
    }
    return OpenJournal();
}

// On the polling thread. Results of other commands were taken off the gateway all the same:
// they are counted, since nobody else will see them.
void UserSync::Collect(const ArrivedResult& result)
{
    std::string pin;
    std::string kind;
    if (SplitCommandId(result.id, m_journal.SyncId(), pin, kind)) {
        const auto pair = m_plan->PairOf(result.serial, pin);
        const auto slot = m_plan->SlotNamed(kind);
        if (pair && slot) {
            m_journal.RecordResult(*m_plan, *pair, *slot, result.code);
            m_states->SetResult(*pair, *slot, result.code);
            return;
        }
    }
    ++m_foreignResults;
}

// Until every accepted request has its result, the time is up, or the operator interrupts.
void UserSync::AwaitResults(SyncEnding& ending)
{
    const int seconds = *WaitSeconds(m_line);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (!InterruptWatch::Interrupted() && m_states->Awaited() > 0) {
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            ending.waitedSeconds = seconds;
            return;
        }
        m_states->WaitUntilNoneAwaited(
            std::min(kInterruptCheck, std::chrono::duration_cast<std::chrono::milliseconds>(left)));
    }
    if (InterruptWatch::Interrupted()) {
        ending.notWaitedWhy = "the wait for its result was interrupted";
    }
}

SyncEnding UserSync::Ending(const std::string& stopReason) const
{
    SyncEnding ending;
    ending.dryRun = m_line.dryRun;
    ending.notSentWhy = "not sent";
    ending.notWaitedWhy = "its result was not waited for (--wait-results)";
    if (!stopReason.empty()) {
        ending.notSentWhy = "not sent: " + stopReason;
        ending.notWaitedWhy = "its result was not waited for: sending stopped";
    } else if (InterruptWatch::Interrupted()) {
        ending.notSentWhy = "not sent: the sync was interrupted before it";
        ending.notWaitedWhy = "the sync was interrupted before its result came";
    }
    return ending;
}

// Every pair's outcome into the report and the counts, the first failures onto the screen.
UserSync::Tally UserSync::WriteOutcomes(const SyncEnding& ending, ReportWriter& report) const
{
    Tally tally;
    for (std::size_t pair = 0; pair < m_plan->Pairs(); ++pair) {
        if (!m_plan->Selected(pair)) {
            continue;
        }
        const UserOutcome o = PairOutcome(*m_plan, *m_states, m_journal.SyncId(), pair, ending);
        ++tally.pairs;
        ++tally.counts[o.state];
        report.Write(o);
        if (!IsFine(o.state) && tally.notFine++ < kFailuresShown) {
            m_out.Say("user " + o.pin + " on " + o.serial + ": " + o.state + ": " + o.detail);
        }
    }
    if (tally.notFine > kFailuresShown) {
        m_out.Say("... and " + std::to_string(tally.notFine - kFailuresShown) +
                  " more (see --report)");
    }
    return tally;
}

// The document's summary and users list (written when it is printed), and the message.
std::string UserSync::Summarise(const Tally& tally, const SyncEnding& ending)
{
    json_object* summary = json_object_new_object();
    std::string text;
    for (const auto& [state, count] : tally.counts) {
        json_object_object_add(summary, state.c_str(),
                               json_object_new_int64(static_cast<long long>(count)));
        text += (text.empty() ? "" : ", ") + std::to_string(count) + " " + state;
    }
    json_object_object_add(m_out.Document(), "summary", summary);
    m_out.Set("sync_id", m_journal.SyncId());
    m_out.Set("foreign_results", static_cast<long long>(m_foreignResults.load()));
    m_out.SetStreamedList("users", [self = shared_from_this(), ending](const Output::Emit& emit) {
        for (std::size_t pair = 0; pair < self->m_plan->Pairs(); ++pair) {
            if (self->m_plan->Selected(pair)) {
                emit(OutcomeJson(PairOutcome(*self->m_plan, *self->m_states,
                                             self->m_journal.SyncId(), pair, ending)));
            }
        }
    });
    std::string message = m_line.command + ": " + std::to_string(m_plan->UserCount()) +
                          " user(s), " + std::to_string(tally.pairs) +
                          " user-terminal pair(s): " + (text.empty() ? "nothing to do" : text);
    if (m_foreignResults > 0) {
        message += "; " + std::to_string(m_foreignResults.load()) +
                   " result(s) of other commands were taken off the gateway and are lost to "
                   "whoever sent them";
    }
    return message;
}

Verdict UserSync::Finish(const SyncEnding& ending, const std::string& stopReason, ExitCode stopCode)
{
    ReportWriter report;
    if (!m_line.reportFile.empty()) {
        const std::string problem = report.Open(m_line.reportFile);
        if (!problem.empty()) {
            return Verdict{ExitCode::Usage, m_line.command + ": " + problem};
        }
    }
    const Tally tally = WriteOutcomes(ending, report);
    const std::string reportProblem = report.Close();
    const std::string message = Summarise(tally, ending);
    if (!reportProblem.empty()) {
        return Verdict{ExitCode::Usage, message + "; " + reportProblem};
    }
    if (InterruptWatch::Interrupted()) {
        return Verdict{ExitCode::Interrupted,
                       message + "; interrupted: run again with the same --journal to resume"};
    }
    if (!stopReason.empty()) {
        return Verdict{stopCode, message + "; " + stopReason};
    }
    return Verdict{tally.notFine == 0 ? ExitCode::Success : ExitCode::Refused, message};
}

Verdict UserSync::Run()
{
    const InterruptWatch watch;  // until the report is written: a second Ctrl-C cannot lose it
    const Verdict prepared = Prepare();
    if (prepared.code != ExitCode::Success) {
        return prepared;
    }
    if (m_line.dryRun) {
        return Finish(Ending(std::string()), std::string(), ExitCode::Success);
    }
    // Installed even without --wait-results: a result list that found no callback would end the
    // polling thread and lose the results it took off the gateway.
    CollectResults(
        m_adapter, [this](const ArrivedResult& r) { Collect(r); }, false);
    if (m_line.fastFirstPoll) {
        PollSoon(m_adapter);
    }
    SyncSender sender(m_adapter, m_line, *m_plan, *m_states, m_journal);
    sender.Run();
    if (InterruptWatch::Interrupted()) {
        std::fprintf(stderr,
                     "interrupted: the requests in flight are finished; writing the "
                     "report (resume with the same --journal)\n");
    }
    SyncEnding ending = Ending(sender.StopReason());
    if (WaitSeconds(m_line) && sender.StopReason().empty() && !InterruptWatch::Interrupted()) {
        AwaitResults(ending);
    }
    StopCollecting();
    return Finish(ending, sender.StopReason(), sender.StopCode());
}

}  // namespace facepad::cli
