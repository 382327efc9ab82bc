#include "sync_sender.h"

#include <CLS_VurodoroViri_Druvel.h>

#include <thread>
#include <vector>

#include "adapter_log.h"
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
    return m_plan.Kind() == SyncKind::AddUsers && m_plan.HasPhoto(pair) &&
           record.send == SendState::Accepted && StillToSend(m_states.Get(pair, Slot::Photo));
}

bool SyncSender::NextPair(std::size_t& pair)
{
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
    if (SendUser(pair) && m_plan.HasPhoto(pair) &&
        m_states.Get(pair, Slot::Record).send == SendState::Accepted &&
        !InterruptWatch::Interrupted()) {
        SendPhoto(pair);
    }
}

bool SyncSender::SendOnce(std::size_t pair, Slot slot, const std::function<bool()>& request)
{
    if (!StillToSend(m_states.Get(pair, slot))) {
        return true;  // sent (or possibly sent) by an earlier run: never again
    }
    m_journal.Record(m_plan, pair, slot, SendState::Sending, std::string());
    m_states.SetSend(pair, slot, SendState::Sending, std::string());
    const CallOutcome outcome = Call(request);
    if (outcome.ok) {
        m_journal.Record(m_plan, pair, slot, SendState::Accepted, std::string());
        m_states.SetSend(pair, slot, SendState::Accepted, std::string());
        return true;
    }
    const std::string reason = OneLine(Reason(outcome, m_line));
    if (!GatewayUnreachable(outcome)) {
        m_journal.Record(m_plan, pair, slot, SendState::Refused, reason);
        m_states.SetSend(pair, slot, SendState::Refused, reason);
        return true;
    }
    const bool neverArrived = outcome.exchange == VurodoroViri_ExchangeOutcome::ConnectionRefused ||
                              outcome.exchange == VurodoroViri_ExchangeOutcome::CannotResolve ||
                              outcome.exchange == VurodoroViri_ExchangeOutcome::BadUrl;
    const SendState state = neverArrived ? SendState::Unsent : SendState::Sending;
    m_journal.Record(m_plan, pair, slot, state, reason);
    m_states.SetSend(pair, slot, state, reason);
    Stop(outcome, reason);
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
        const std::string reason =
            "cannot read " + row.photoPath + " (changed since it was checked?)";
        m_journal.Record(m_plan, pair, Slot::Photo, SendState::Unsent, reason);
        m_states.SetSend(pair, Slot::Photo, SendState::Unsent, reason);
        return true;
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

void SyncSender::Stop(const CallOutcome& outcome, const std::string& reason)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopReason.empty()) {
        m_stopReason = "stopped sending: " + reason;
        m_stopCode = CodeFor(outcome);
    }
}

void SyncSender::Report(std::size_t pair)
{
    TakeAdapterLog();  // a sync's failures are in its report; the lines would only pile up
    SyncEnding ending;
    ending.notSentWhy = "not sent";
    const UserOutcome now = PairOutcome(m_plan, m_states, m_journal.SyncId(), pair, ending);
    const bool failed = !IsFine(now.state) && now.state != final_state::kNotSent;
    std::lock_guard<std::mutex> lock(m_mutex);
    if (failed) {
        ++m_failed;
        m_progress.Failure("user " + now.pin + " on " + now.serial + ": " + now.state + ": " +
                           now.detail);
    }
    m_progress.Step(m_failed);
}

}  // namespace facepad::cli
