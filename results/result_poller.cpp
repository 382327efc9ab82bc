// The polling thread: fetches "facepad/getresult", merges each result list into the thread's own
// result map and hands that map to the host's callback.
#include <cstdint>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "facepad_protocol.h"
#include "polling_control.h"
#include "result_parser.h"
#include "result_reply.h"
#include "thread_name.h"

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr int kFirstWaitNaps = 80;
constexpr int kFastWaitNaps = 10;
constexpr int kSlowWaitNaps = 80;
constexpr std::uint32_t kEmptyMapsBeforeSlowing = 10;
constexpr const char* kResultEndpoint = facepad::endpoint::kGetResult;
constexpr const char* kPollerThreadName = "vv-result-poll";

enum class PollOutcome {
    NoList,     // exchange failed or the reply carries no list: the wait is recomputed
    EmptyList,  // "[]": the wait stays as it was
    Handled,    // a list was parsed (or failed to parse) and the map counter applies
    EndThread,  // no adapter to work for, or a list arrived with no callback installed
};

bool StopRequested()
{
    return PollingControl::Instance().StopRequested();
}

// Fetches the reply while holding the adapter. False when there is no adapter to work for.
bool Fetch(PollerRecord& self, std::string& reply, bool& answered)
{
    AdapterLease lease(self);
    VurodoroViri_Druvel* adapter = lease.get();
    if (adapter == nullptr) {
        return false;
    }
    answered = PollingControl::Exchange(self, *adapter, kResultEndpoint, reply);
    return true;
}

// Hands the map to the callback of the adapter current now, unless the adapter is going away:
// no callback starts once a destructor has begun.
PollOutcome Deliver(PollerRecord& self, ResultMap& results)
{
    AdapterLease lease(self);
    VurodoroViri_Druvel* adapter = lease.get();
    if (adapter == nullptr || StopRequested()) {
        return PollOutcome::EndThread;
    }
    const ResultCallback callback = PollingControl::Callback(*adapter);
    if (callback == nullptr) {
        VV_LOG(kLogLevelError, "SlotTimerTimeout pResultCallback == nullptr");
        return PollOutcome::EndThread;
    }
    callback(results);  // may delete the adapter: nothing below touches it
    return PollOutcome::Handled;
}

// The adapter is held for the exchange and the delivery, not in between: a destructor never waits
// for a parse, and the parse gives up as soon as one begins.
PollOutcome PollOnce(PollerRecord& self, ResultMap& results, std::string& reply)
{
    bool answered = false;
    if (!Fetch(self, reply, answered)) {
        return PollOutcome::EndThread;
    }
    if (!answered) {
        return PollOutcome::NoList;
    }
    switch (CutResultList(reply)) {
    case ResultListShape::None:
        return PollOutcome::NoList;
    case ResultListShape::Empty:
        return PollOutcome::EmptyList;
    case ResultListShape::Present:
        break;
    }
    switch (ParseResultList(reply, results, &StopRequested)) {
    case ParseOutcome::Stopped:
        return PollOutcome::EndThread;
    case ParseOutcome::NotJson:
        return PollOutcome::Handled;
    case ParseOutcome::Parsed:
        break;
    }
    return Deliver(self, results);
}

void RunPollingLoop(PollerRecord& self)
{
    PollingControl& control = PollingControl::Instance();
    ResultMap results;
    std::uint32_t emptyMaps = 0;
    int waitNaps = kFirstWaitNaps;
    std::string reply;
    if (control.StopRequested()) {
        return;
    }
    for (;;) {
        if (!control.Wait(waitNaps)) {
            return;
        }
        PollOutcome outcome = PollOutcome::NoList;
        try {
            outcome = PollOnce(self, results, reply);
        } catch (...) {
            // Out of memory or a throwing callback: this poll is lost, the thread goes on.
        }
        reply.clear();
        if (outcome == PollOutcome::EndThread) {
            return;
        }
        if (outcome == PollOutcome::Handled) {
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

void VurodoroViri_Druvel::SlotTimerTimeout()
{
    NameThisThread(kPollerThreadName);
    PollingControl& control = PollingControl::Instance();
    PollerRecord& self = control.Register();
    RunPollingLoop(self);
    control.Unregister(self);
}

bool VurodoroViri_Druvel::SetResultCallbackFace(
    int (*_pResultCallback)(std::map<std::string, std::map<std::string, std::string>>&))
{
    if (_pResultCallback == nullptr) {
        VV_LOG(kLogLevelError,
               "VurodoroViri_Druvel::SetResultCallbackFace _pResultCallback == nullptr");
        return false;
    }
    m_pResultCallback.store(_pResultCallback);
    return true;
}

// The member hosts call; the polling thread calls the parser directly, with a stop check.
bool VurodoroViri_Druvel::JsonDataToMapData(
    const std::string& _strJson,
    std::map<std::string, std::map<std::string, std::string>>& _mapResult)
{
    return ParseResultList(_strJson, _mapResult, nullptr) == ParseOutcome::Parsed;
}

}  // namespace Face
}  // namespace Osmer_Framework
