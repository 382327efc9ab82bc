// The polling thread: fetches "facepad/getresult", merges each result list into the thread's own
// result map and hands that map to the host's callback.
#include <cstdint>
#include <cstring>

#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "polling_control.h"

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr int kFirstWaitNaps = 80;
constexpr int kFastWaitNaps = 10;
constexpr int kSlowWaitNaps = 80;
constexpr std::uint32_t kEmptyMapsBeforeSlowing = 10;
constexpr const char* kResultEndpoint = "facepad/getresult";
constexpr const char* kResultKeyWord = "result";
constexpr std::size_t kListOffset = 7;  // "result", one separator character, then "["

enum class PollOutcome {
    NoList,     // exchange failed or the reply carries no list: the wait is recomputed
    EmptyList,  // "[]": the wait stays as it was
    Handled,    // a list was parsed (or failed to parse) and the map counter applies
    EndThread,  // no adapter to work for, or a list arrived with no callback installed
};

enum class ListShape { None, Empty, Present };

// Finds the list after the first "result" and cuts it out of `reply` in place.
ListShape CutResultList(std::string& reply)
{
    const auto word = reply.find(kResultKeyWord);
    if (word == std::string::npos) {
        return ListShape::None;
    }
    const auto open = word + kListOffset;
    if (open >= reply.size() || reply[open] != '[') {
        return ListShape::None;
    }
    if (open + 1 < reply.size() && reply[open + 1] == ']') {
        return ListShape::Empty;
    }
    reply.erase(0, open);
    reply.resize(std::strlen(reply.c_str()));  // the list ends at a NUL byte, should one be there
    return ListShape::Present;
}

PollOutcome PollOnce(PollerRecord& self, ResultMap& results, std::string& reply)
{
    AdapterLease lease(self);
    VurodoroViri_Druvel* adapter = lease.get();
    if (adapter == nullptr) {
        return PollOutcome::EndThread;
    }
    if (!PollingControl::Exchange(self, *adapter, kResultEndpoint, reply)) {
        return PollOutcome::NoList;
    }
    switch (CutResultList(reply)) {
    case ListShape::None:
        return PollOutcome::NoList;
    case ListShape::Empty:
        return PollOutcome::EmptyList;
    case ListShape::Present:
        break;
    }
    if (adapter->JsonDataToMapData(reply, results)) {
        const ResultCallback callback = PollingControl::Callback(*adapter);
        if (callback == nullptr) {
            VV_LOG(kLogLevelError, "SlotTimerTimeout pResultCallback == nullptr");
            return PollOutcome::EndThread;
        }
        callback(results);  // may delete the adapter: nothing below touches it
    }
    return PollOutcome::Handled;
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
        for (int nap = 0; nap < waitNaps; ++nap) {
            if (!control.Nap()) {
                return;
            }
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

}  // namespace Face
}  // namespace Osmer_Framework
