#include "result_poller.h"

#include <cstdint>

#include "polling_control.h"
#include "reply_list.h"
#include "result_parser.h"
#include "thread_name.h"

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr int kFirstWaitNaps = 80;
constexpr int kFastWaitNaps = 10;
constexpr int kSlowWaitNaps = 80;
constexpr std::uint32_t kEmptyMapsBeforeSlowing = 10;
constexpr const char* kPollerThreadName = "vv-result-poll";
// A reply larger than this gives its storage back after the poll, so that one large list does not
// stay with the thread for its life.
constexpr std::size_t kLargestKeptReply = 64 * 1024;

enum class PollOutcome {
    NoList,     // exchange failed or the reply carries no list: the wait is recomputed
    EmptyList,  // "[]": the wait stays as it was
    Handled,    // a list failed to parse: the map counter applies
    Delivered,  // a list was parsed and handed to the callback: the map counter applies
    EndThread,  // no adapter to work for, or a list arrived with no callback installed
};

bool StopRequested()
{
    return PollingControl::Instance().StopRequested();
}

// Fetches the reply while holding the adapter. False when there is no adapter to work for.
bool Fetch(const PollingHooks& hooks, PollerRecord& self, std::string& reply, bool& answered)
{
    AdapterLease lease(self);
    VurodoroViri_Druvel* adapter = lease.get();
    if (adapter == nullptr) {
        return false;
    }
    answered = hooks.fetch(*adapter, self.cancel, reply);
    return true;
}

// Hands the map to the callback of the adapter current now, unless the adapter is going away:
// no callback starts once a destructor has begun.
PollOutcome Deliver(const PollingHooks& hooks, PollerRecord& self, ResultMap& results)
{
    AdapterLease lease(self);
    VurodoroViri_Druvel* adapter = lease.get();
    if (adapter == nullptr || StopRequested()) {
        return PollOutcome::EndThread;
    }
    const ResultCallback callback = hooks.callback(*adapter);
    if (callback == nullptr) {
        return PollOutcome::EndThread;
    }
    callback(results);  // may delete the adapter: nothing below touches it
    return PollOutcome::Delivered;
}

// The adapter is held for the exchange and the delivery, not in between: a destructor never waits
// for a parse, and the parse gives up as soon as one begins.
PollOutcome PollOnce(const PollingHooks& hooks, PollerRecord& self, ResultMap& results,
                     std::string& reply)
{
    bool answered = false;
    if (!Fetch(hooks, self, reply, answered)) {
        return PollOutcome::EndThread;
    }
    if (!answered) {
        return PollOutcome::NoList;
    }
    const ReplyList list = FindReplyList(reply, kResultListKey);
    switch (list.shape) {
    case ReplyListShape::None:
        return PollOutcome::NoList;
    case ReplyListShape::Empty:
        return PollOutcome::EmptyList;
    case ReplyListShape::Present:
        break;
    }
    switch (ParseResultList(list.text, results, &StopRequested)) {
    case ParseOutcome::Stopped:
        return PollOutcome::EndThread;
    case ParseOutcome::NotJson:
        return PollOutcome::Handled;
    case ParseOutcome::Parsed:
        break;
    }
    return Deliver(hooks, self, results);
}

// A small reply's storage serves the next poll; a large one's goes back at once.
void ForgetReply(std::string& reply)
{
    if (reply.capacity() > kLargestKeptReply) {
        std::string().swap(reply);
    }
    reply.clear();
}

void RunPollingLoop(const PollingHooks& hooks, PollerRecord& self)
{
    PollingControl& control = PollingControl::Instance();
    ResultMap results;
    std::uint32_t emptyMaps = 0;
    int waitNaps = kFirstWaitNaps;
    std::string reply;
    if (control.StopRequested()) {
        return;
    }
    PollOutcome outcome = PollOutcome::NoList;
    for (bool first = true;; first = false) {
        if (!control.Wait(PollWait{waitNaps, first, outcome == PollOutcome::Delivered})) {
            return;
        }
        outcome = PollOutcome::NoList;
        if (!control.BeginPoll(self)) {
            continue;  // paused as the wait ended: wait again
        }
        try {
            outcome = PollOnce(hooks, self, results, reply);
        } catch (...) {
            // Out of memory or a throwing callback: this poll is lost, the thread goes on.
        }
        control.EndPoll(self);
        ForgetReply(reply);
        if (outcome == PollOutcome::EndThread) {
            return;
        }
        if (outcome == PollOutcome::Handled || outcome == PollOutcome::Delivered) {
            emptyMaps = results.empty() ? emptyMaps + 1 : 0;
        }
        if (outcome != PollOutcome::EmptyList) {
            waitNaps = emptyMaps < kEmptyMapsBeforeSlowing ? kFastWaitNaps : kSlowWaitNaps;
        }
        if (control.StopRequested()) {
            return;
        }
    }
}

}  // namespace

void RunResultPoller(const PollingHooks& hooks)
{
    NameThisThread(kPollerThreadName);
    PollingControl& control = PollingControl::Instance();
    PollerRecord& self = control.Register();
    RunPollingLoop(hooks, self);
    control.Unregister(self);
}

}  // namespace Face
}  // namespace Osmer_Framework
