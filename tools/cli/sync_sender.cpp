#include "sync_sender.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <thread>
#include <vector>

#include "adapter_log.h"
#include "csv_record.h"
#include "interrupt_watch.h"
#include "photo_file.h"
#include "record_params.h"
#include "sync_outcome.h"

namespace facepad::cli {

namespace {

using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;

bool StillToSend(RequestState state)
{
    return state.send == SendState::None || state.send == SendState::Unsent;
}

// A photo goes to a user the gateway accepted, or whom the terminal has (a result 0).
bool Landed(RequestState record)
{
    return record.send == SendState::Accepted || record.result == ResultState::Done;
}

std::size_t CountWork(const SyncPlan& plan, const std::function<bool(std::size_t)>& needsWork)
{
    std::size_t count = 0;
    for (std::size_t pair = 0; pair < plan.Pairs(); ++pair) {
        count += needsWork(pair) ? 1u : 0u;
    }
    return count;
}

}  // namespace

SyncSender::SyncSender(Adapter& adapter, const CommandLine& line, const SyncPlan& plan,
                       PairStates& states, SyncJournal& journal)
    : m_adapter(adapter),
      m_line(line),
      m_plan(plan),
      m_states(states),
      m_journal(journal),
      m_progress(CountWork(plan, [this](std::size_t pair) { return NeedsWork(pair); }),
                 line.progress)
{
}

// A pair needs work while its record request (or, once that was accepted, its photo) has not
// gone out: what an earlier run sent, or may have sent, is never sent again.
bool SyncSender::NeedsWork(std::size_t pair) const
{
    if (!m_plan.Selected(pair)) {
        return false;
    }
    const RequestState record = m_states.Get(pair, Slot::Record);
    if (StillToSend(record)) {
        return true;
    }
    return m_plan.Kind() == SyncKind::AddUsers && m_plan.HasPhoto(pair) && Landed(record) &&
           StillToSend(m_states.Get(pair, Slot::Photo));
}

bool SyncSender::NextPair(std::size_t& pair)
{
    if (const std::string failure = m_journal.Failure(); !failure.empty()) {
        Stop("stopped sending at once: " + failure, ExitCode::JournalFailed);  // a result's line
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    while (m_stopReason.empty() && !InterruptWatch::Interrupted() && m_cursor < m_plan.Pairs()) {
        pair = m_cursor++;
        if (NeedsWork(pair)) {
            return true;
        }
    }
    return false;
}

void SyncSender::Run()
{
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < m_line.jobs; ++i) {
        workers.emplace_back([this] { Work(); });
    }
    Work();
    for (std::thread& worker : workers) {
        worker.join();
    }
    m_progress.Done();
}

void SyncSender::Work()
{
    std::size_t pair = 0;
    while (NextPair(pair)) {
        SendPair(pair);
        Report(pair);
    }
}

void SyncSender::SendPair(std::size_t pair)
{
    if (m_plan.Kind() == SyncKind::RemoveUsers) {
        SendRemoval(pair);
        return;
    }
    if (SendUser(pair) && m_plan.HasPhoto(pair) && Landed(m_states.Get(pair, Slot::Record)) &&
        !InterruptWatch::Interrupted()) {
        SendPhoto(pair);
    }
}

bool SyncSender::SendOnce(std::size_t pair, Slot slot, const std::function<bool()>& request)
{
    if (!StillToSend(m_states.Get(pair, slot))) {
        return true;  // sent (or possibly sent) by an earlier run: never again
    }
    // Recorded before it goes: a request the journal could not record is not sent at all.
    if (!Record(pair, slot, SendState::Sending, SendNote{})) {
        return false;
    }
    m_states.SetSend(pair, slot, SendState::Sending);
    const CallOutcome outcome = Call(request);
    const SendState state = StateAfter(outcome);
    SendNote note;
    if (!outcome.ok) {
        note.detail = OneLine(Reason(outcome, m_line));
        note.reply = outcome.reply;
    }
    const bool recorded = Record(pair, slot, state, note);
    m_states.SetSend(pair, slot, state, note);
    if (!recorded) {
        return false;
    }
    if (GatewayUnreachable(outcome) &&
        outcome.exchange != VurodoroViri_ExchangeOutcome::ProxyError) {
        Stop("stopped sending: " + note.detail, CodeFor(outcome));
        return false;
    }
    return NoteGatewayDown(outcome);
}

// What the journal and the states keep of one request's outcome.
SendState SyncSender::StateAfter(const CallOutcome& outcome)
{
    if (outcome.ok) {
        return SendState::Accepted;
    }
    if (MayHaveBeenDone(outcome)) {
        return SendState::Uncertain;
    }
    return GatewayUnreachable(outcome) ? SendState::Unsent : SendState::Refused;
}

bool SyncSender::Record(std::size_t pair, Slot slot, SendState state, const SendNote& note)
{
    if (m_journal.Record(m_plan, pair, slot, state, note.detail)) {
        return true;
    }
    Stop("stopped sending at once: " + m_journal.Failure(), ExitCode::JournalFailed);
    return false;
}

// A proxy that answers 502 or 503 to request after request reaches no gateway behind it: going on
// would only make more pairs uncertain. A 504 is not counted: the proxy reached a gateway too slow
// for its read time-out, which is likely carrying the commands out; their results decide. Any
// answer of the gateway's own (a 200, or a refusal) shows it is there and starts the count again.
bool SyncSender::NoteGatewayDown(const CallOutcome& outcome)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const bool noGateway =
        outcome.exchange == VurodoroViri_ExchangeOutcome::ProxyError && outcome.status != "504";
    if (outcome.exchange != VurodoroViri_ExchangeOutcome::ProxyError) {
        m_noGatewayInARow = 0;
    }
    if (!noGateway || ++m_noGatewayInARow < kNoGatewayAnswersBeforeStopping) {
        return true;
    }
    StopLocked("stopped sending: the last " + std::to_string(m_noGatewayInARow) +
                   " answers in a row were a proxy's (the last: HTTP " + outcome.status +
                   "), none the gateway's own: the gateway behind the proxy looks down",
               ExitCode::Unreachable);
    return false;
}

bool SyncSender::SendUser(std::size_t pair)
{
    const UserRow& row = m_plan.User(pair);
    return SendOnce(pair, Slot::Record, [&] {
        ParamMap user = UserParams(row.record);
        return m_adapter.AddUser(CommandId(m_journal.SyncId(), m_plan, pair, Slot::Record),
                                 m_plan.Terminal(pair), user);
    });
}

// The photo is read when it goes, so that 5,000 photos never sit in memory at once.
bool SyncSender::SendPhoto(std::size_t pair)
{
    const UserRow& row = m_plan.User(pair);
    auto content = ReadPhotoAsBase64(row.photoPath, row.photoSize);
    if (!content) {
        const SendNote note{"cannot read " + row.photoPath + " (changed since it was checked?)",
                            ""};
        m_states.SetSend(pair, Slot::Photo, SendState::Unsent, note);
        return Record(pair, Slot::Photo, SendState::Unsent, note);
    }
    ParamMap photo =
        PhotoParams(row.Pin(), m_line.photoType, m_line.photoFormat, "", std::move(*content));
    return SendOnce(pair, Slot::Photo, [&] {
        return m_adapter.SetBiophoto(CommandId(m_journal.SyncId(), m_plan, pair, Slot::Photo),
                                     m_plan.Terminal(pair), photo);
    });
}

bool SyncSender::SendRemoval(std::size_t pair)
{
    return SendOnce(pair, Slot::Record, [&] {
        ParamMap user = PinParams(m_plan.User(pair).Pin());
        return m_adapter.DelUser(CommandId(m_journal.SyncId(), m_plan, pair, Slot::Record),
                                 m_plan.Terminal(pair), user);
    });
}

void SyncSender::Stop(const std::string& reason, ExitCode code)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    StopLocked(reason, code);
}

// The first reason stands: the requests still in flight may fail for the same cause.
void SyncSender::StopLocked(const std::string& reason, ExitCode code)
{
    if (m_stopReason.empty()) {
        m_stopReason = reason;
        m_stopCode = code;
    }
}

void SyncSender::Report(std::size_t pair)
{
    TakeAdapterLog();  // a sync's failures are in its report; the lines would only pile up
    SyncEnding ending;
    ending.notSentWhy = "not sent";
    const UserOutcome now = PairOutcome(m_plan, m_states, m_journal.SyncId(), pair, ending);
    const bool uncertain = std::string(now.state) == final_state::kUncertain;
    const bool failed = !IsFine(now.state) && now.state != final_state::kNotSent && !uncertain;
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failed += failed ? 1u : 0u;
    m_uncertain += uncertain ? 1u : 0u;
    if (failed || uncertain) {
        m_progress.Failure("user " + now.pin + " on " + now.serial + ": " + now.state + ": " +
                           now.detail);
    }
    m_progress.Step(m_failed, m_uncertain);
}

}  // namespace facepad::cli
