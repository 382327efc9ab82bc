#include "sync_run.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>

#include "adapter_log.h"
#include "command_result.h"
#include "command_support.h"
#include "file_checks.h"
#include "interrupt_watch.h"
#include "next_step.h"
#include "sync_progress.h"
#include "sync_report.h"
#include "sync_sender.h"
#include "sync_terminals.h"

namespace facepad::cli {

namespace {

constexpr std::size_t kFailuresShown = 20;
constexpr auto kInterruptCheck = std::chrono::milliseconds(200);
// A retry's first collection of an earlier sync's results, when no --wait-results gives a time.
constexpr int kEarlierResultsSeconds = 30;

json_object* OutcomeJson(const UserOutcome& o)
{
    json_object* object = json_object_new_object();
    json_object_object_add(object, "pin", JsonText(o.pin));
    json_object_object_add(object, "terminal", JsonText(o.serial));
    json_object_object_add(object, "state", JsonText(o.state));
    json_object_object_add(object, "detail", JsonText(o.detail));
    if (!o.reply.empty()) {
        json_object_object_add(object, "reply", JsonText(o.reply));
    }
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

// The first ten names and how many more: a site's list can be long.
std::string FewOf(const std::vector<std::string>& names)
{
    constexpr std::size_t kNamed = 10;
    std::string text;
    for (std::size_t i = 0; i < std::min(kNamed, names.size()); ++i) {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    if (names.size() > kNamed) {
        text += " and " + std::to_string(names.size() - kNamed) + " more";
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
    users = ReadUserFile(m_line.csvFile, m_line.maxPhotoBytes, columns, m_line.Pins());
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

// The -t and --terminals terminals, or with --retry-failed and none given, those of the report's
// failed rows.
Verdict UserSync::ChooseTerminals(std::vector<std::string>& serials)
{
    for (const std::string& serial : m_line.terminals) {
        const std::string problem = SerialProblem(serial);
        if (!problem.empty()) {
            return UsageError(Problem(problem));
        }
        if (std::find(serials.begin(), serials.end(), serial) == serials.end()) {
            serials.push_back(serial);
        }
    }
    for (const std::string& file : m_line.terminalFiles) {
        const std::string problem = ReadTerminalFile(file, serials);
        if (!problem.empty()) {
            return UsageError(Problem(problem));
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
        return UsageError(Problem("name at least one --terminal (or --terminals FILE)"));
    }
    if (m_line.resendUnconfirmed && m_line.retryReport.empty()) {
        return UsageError(Problem("--resend-unconfirmed goes with --retry-failed REPORT"));
    }
    return Verdict{};
}

// Every request to a terminal the gateway does not know, or has not bound, would come back -1001:
// one refusal now instead. A dry run asks the gateway nothing.
Verdict UserSync::CheckTerminals(const std::vector<std::string>& serials)
{
    if (m_line.dryRun || m_line.skipTerminalCheck) {
        return Verdict{};
    }
    const TerminalCheck check = FindUnknownTerminals(m_adapter, m_line, serials);
    TakeAdapterLog();  // the query's lines are not news
    if (check.failure.code != ExitCode::Success) {
        return Verdict{check.failure.code,
                       Problem(check.failure.message + " (--skip-terminal-check sends unchecked)")};
    }
    if (check.unknown.empty() && check.unbound.empty()) {
        return Verdict{};
    }
    m_out.SetList("unknown_terminals", check.unknown);
    m_out.SetList("unbound_terminals", check.unbound);
    std::string why;
    if (!check.unknown.empty()) {
        why = "the gateway does not know " + FewOf(check.unknown);
    }
    if (!check.unbound.empty()) {
        why += (why.empty() ? "the gateway" : "; it") + std::string(" has not bound ") +
               FewOf(check.unbound) + " (facepad-cli bind SN CHANNEL)";
    }
    return UsageError(Problem("of the " + std::to_string(serials.size()) + " terminal(s) named, " +
                              why +
                              ": every request to them would come back -1001; check the serials "
                              "(facepad-cli available lists them), or give --skip-terminal-check "
                              "to send all the same"));
}

void UserSync::SelectRetriedPairs()
{
    if (m_line.retryReport.empty()) {
        return;
    }
    std::vector<bool> selected(m_plan->Pairs(), false);
    m_held.assign(m_plan->Pairs(), false);
    ReadRetryReport(m_line.retryReport, [&](const FailedRow& row) {
        if (const auto pair = m_plan->PairOf(row.serial, row.pin)) {
            selected[*pair] = true;
            if (IsUnconfirmed(row.state) && !m_line.resendUnconfirmed) {
                Hold(*pair, row);
            }
        }
    });
    m_plan->SelectOnly(std::move(selected));
}

// An earlier sync sent it, and the gateway may have carried it out: it is not sent again, but
// awaited as that sync sent it, so that a result still on its way settles it. A request cut off
// is uncertain; a photo goes only after its user was accepted.
void UserSync::Hold(std::size_t pair, const FailedRow& row)
{
    const bool photo = m_kind == SyncKind::AddUsers && m_plan->HasPhoto(pair);
    const bool photoCut =
        row.state == final_state::kUncertain && row.detail.rfind("photo:", 0) == 0;
    const bool userCut = row.state == final_state::kUncertain && !photoCut;
    const SendNote note{row.state + " in sync " + row.syncId +
                            ": it may have been carried out (--resend-unconfirmed sends it)",
                        ""};
    m_states->SetSend(pair, Slot::Record, userCut ? SendState::Uncertain : SendState::Accepted,
                      note);
    if (photo && !userCut) {
        m_states->SetSend(pair, Slot::Photo, photoCut ? SendState::Uncertain : SendState::Accepted,
                          note);
    }
    m_held[pair] = true;
    m_heldSyncIds.emplace(pair, row.syncId);
    ++m_heldCount;
}

// A pair a retry held back goes on under the command ids the earlier sync sent it with.
UserOutcome UserSync::OutcomeOf(std::size_t pair, const SyncEnding& ending) const
{
    const auto held = m_heldSyncIds.find(pair);
    const bool stillHeld = held != m_heldSyncIds.end() && StillHeld(pair);
    return PairOutcome(*m_plan, *m_states, stillHeld ? held->second : m_journal.SyncId(), pair,
                       ending);
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
    if (!m_journal.Warning().empty()) {
        m_out.Say(m_journal.Warning());
        m_out.Set("journal_warning", m_journal.Warning());
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
    if (Verdict v = CheckOutputs(); v.code != ExitCode::Success) {
        return v;
    }
    if (Verdict v = CheckTerminals(serials); v.code != ExitCode::Success) {
        return v;
    }
    m_plan = std::make_unique<SyncPlan>(m_kind, std::move(users.rows), std::move(serials));
    m_states = std::make_unique<PairStates>(m_plan->Pairs());
    SelectRetriedPairs();
    return OpenJournal();
}

// Read on the polling thread too, while a retry releases pairs whose earlier result failed.
bool UserSync::StillHeld(std::size_t pair) const
{
    std::lock_guard<std::mutex> lock(m_heldMutex);
    return !m_held.empty() && m_held[pair];
}

bool UserSync::Waits() const
{
    return WaitSeconds(m_line).has_value();
}

// On the polling thread. Results of other commands were taken off the gateway all the same:
// they are counted, since nobody else will see them.
void UserSync::Collect(const ArrivedResult& result)
{
    if (CollectResultOf(m_journal.SyncId(), result, false)) {
        return;
    }
    for (const std::string& earlier : m_retriedSyncIds) {
        if (CollectResultOf(earlier, result, true)) {
            return;
        }
    }
    ++m_foreignResults;
}

// A result of this sync's commands, or of an earlier sync's for a pair a retry held back: proof
// of what the terminal did, whatever the send reported.
bool UserSync::CollectResultOf(const std::string& syncId, const ArrivedResult& result,
                               bool heldOnly)
{
    std::string pin;
    std::string kind;
    if (!SplitCommandId(result.id, syncId, pin, kind)) {
        return false;
    }
    const auto pair = m_plan->PairOf(result.serial, pin);
    const auto slot = m_plan->SlotNamed(kind);
    if (!pair || !slot || (heldOnly && !StillHeld(*pair))) {
        return false;
    }
    m_journal.RecordResult(*m_plan, *pair, *slot, result.code);
    m_states->SetResult(*pair, *slot, result.code);
    return true;
}

// A retry first takes what the gateway still holds for the pairs it holds back: a result 0 leaves
// the pair done, another code has it sent again (under this sync's id), none leaves it out.
void UserSync::CollectEarlierResults()
{
    if (m_heldCount == 0) {
        return;
    }
    const int seconds = WaitSeconds(m_line).value_or(kEarlierResultsSeconds);
    if (m_line.progress) {
        std::fprintf(stderr,
                     "collecting what the gateway holds for the %zu pair(s) an earlier "
                     "sync sent, for up to %d s\n",
                     m_heldCount, seconds);
    }
    const PollWatch polls;
    const bool drained = polls.WaitUntilGatewayHoldsNone(std::chrono::seconds(seconds),
                                                         &InterruptWatch::Interrupted);
    if (!drained && !InterruptWatch::Interrupted()) {
        m_out.Say("the gateway still held results after " + std::to_string(seconds) +
                  " s; going on with those collected");
    }
    for (std::size_t pair = 0; pair < m_plan->Pairs(); ++pair) {
        if (!StillHeld(pair)) {
            continue;
        }
        if (m_states->Get(pair, Slot::Record).result == ResultState::Other) {
            m_states->Forget(pair, Slot::Record);
            m_states->Forget(pair, Slot::Photo);
            std::lock_guard<std::mutex> lock(m_heldMutex);
            m_held[pair] = false;
        } else if (m_states->Get(pair, Slot::Photo).result == ResultState::Other) {
            m_states->Forget(pair, Slot::Photo);
        }
    }
}

// Until every request that went out (or may have) has its result, the time is up, the operator
// interrupts, or the journal cannot take the results.
void UserSync::AwaitResults(SyncEnding& ending)
{
    const int seconds = *WaitSeconds(m_line);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    const std::size_t awaited = m_states->Awaited();
    ProgressLine progress(awaited, m_line.progress);
    while (!InterruptWatch::Interrupted() && m_states->Awaited() > 0 &&
           m_journal.Failure().empty()) {
        progress.Show(awaited - std::min(awaited, m_states->Awaited()), "results collected");
        const auto left = deadline - std::chrono::steady_clock::now();
        if (left <= std::chrono::steady_clock::duration::zero()) {
            ending.waitedSeconds = seconds;
            break;
        }
        m_states->WaitUntilNoneAwaited(
            std::min(kInterruptCheck, std::chrono::duration_cast<std::chrono::milliseconds>(left)));
    }
    progress.Show(awaited - std::min(awaited, m_states->Awaited()), "results collected");
    progress.End();
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
    std::size_t shown = 0;
    for (std::size_t pair = 0; pair < m_plan->Pairs(); ++pair) {
        if (!m_plan->Selected(pair)) {
            continue;
        }
        const UserOutcome o = OutcomeOf(pair, ending);
        ++tally.pairs;
        ++tally.counts[o.state];
        report.Write(o);
        const bool unconfirmed = IsUnconfirmed(o.state);
        tally.unconfirmed += unconfirmed ? 1u : 0u;
        tally.leftOut += unconfirmed && StillHeld(pair) ? 1u : 0u;
        // A pair never sent needs no line of its own: the summary says why sending stopped.
        const bool listed = o.state != std::string(final_state::kNotSent);
        if (!IsFine(o.state)) {
            ++tally.notFine;
            tally.failed += unconfirmed ? 0u : 1u;
            if (listed && shown++ < kFailuresShown) {
                m_out.Say("user " + o.pin + " on " + o.serial + ": " + o.state + ": " + o.detail);
            }
        }
    }
    if (shown > kFailuresShown) {
        m_out.Say("... and " + std::to_string(shown - kFailuresShown) + " more (see --report)");
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
                emit(OutcomeJson(self->OutcomeOf(pair, ending)));
            }
        }
    });
    std::string message = m_line.command + ": " + std::to_string(m_plan->UserCount()) +
                          " user(s), " + std::to_string(tally.pairs) +
                          " user-terminal pair(s): " + (text.empty() ? "nothing to do" : text);
    if (tally.leftOut > 0) {
        m_out.Set("left_out", static_cast<long long>(tally.leftOut));
        message += "; " + std::to_string(tally.leftOut) +
                   " pair(s) left out of the retry: the earlier sync sent them and no result "
                   "has come, so they may have been carried out (--resend-unconfirmed sends "
                   "them again)";
    }
    if (m_foreignResults > 0) {
        message += "; " + std::to_string(m_foreignResults.load()) +
                   " result(s) of other commands were taken off the gateway and are lost to "
                   "whoever sent them";
    }
    return message + m_polls.LostWarning();
}

Verdict UserSync::Finish(const SyncEnding& ending, std::string stopReason, ExitCode stopCode)
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
    const std::string journalProblem = m_journal.Close();
    if (!journalProblem.empty() && stopCode != ExitCode::JournalFailed) {
        stopReason = journalProblem;  // the last lines could not be made safe: say so
        stopCode = ExitCode::JournalFailed;
    }
    const std::string message = Summarise(tally, ending);
    if (!reportProblem.empty()) {
        return Verdict{ExitCode::Usage, message + "; " + reportProblem};
    }
    const ExitCode code = FinalCode(tally, stopReason, stopCode);
    RunEnding next;
    next.stopped = code == ExitCode::Interrupted || !stopReason.empty();
    next.journalFailed = code == ExitCode::JournalFailed;
    next.failed = tally.failed;
    next.unconfirmed = tally.unconfirmed;
    next.waited = Waits();
    const std::string step = NextStep(m_line, next);
    m_out.Set("next", step);
    std::string why = code == ExitCode::Interrupted ? "; interrupted" : std::string();
    if (!stopReason.empty()) {
        why = "; " + stopReason;
    }
    return Verdict{code, message + why + "\n" + step};
}

ExitCode UserSync::FinalCode(const Tally& tally, const std::string& stopReason,
                             ExitCode stopCode) const
{
    if (stopCode == ExitCode::JournalFailed) {
        return stopCode;
    }
    if (InterruptWatch::Interrupted()) {
        return ExitCode::Interrupted;
    }
    if (!stopReason.empty()) {
        return stopCode;
    }
    return tally.notFine == 0 ? ExitCode::Success : ExitCode::Refused;
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
    // Polls only while results are awaited: every poll takes every result off the gateway, the
    // host's too. A retry first collects what it holds back.
    if (Waits() || m_heldCount > 0) {
        CollectResults(
            m_adapter, [this](const ArrivedResult& r) { Collect(r); }, false);
        CollectEarlierResults();
        if (!Waits()) {
            StopCollecting(m_adapter);
        }
    }
    SyncSender sender(m_adapter, m_line, *m_plan, *m_states, m_journal);
    if (!InterruptWatch::Interrupted()) {
        sender.Run();
    }
    if (InterruptWatch::Interrupted()) {
        std::fprintf(stderr,
                     "interrupted: the requests in flight are finished; writing the "
                     "report (resume with the same --journal)\n");
    }
    SyncEnding ending = Ending(sender.StopReason());
    if (Waits() && sender.StopReason().empty() && !InterruptWatch::Interrupted()) {
        AwaitResults(ending);
    }
    StopCollecting(m_adapter);
    std::string stopReason = sender.StopReason();
    ExitCode stopCode = sender.StopCode();
    if (stopReason.empty() && !m_journal.Failure().empty()) {
        stopReason = "stopped at once: " + m_journal.Failure();
        stopCode = ExitCode::JournalFailed;
    }
    return Finish(ending, stopReason, stopCode);
}

}  // namespace facepad::cli
