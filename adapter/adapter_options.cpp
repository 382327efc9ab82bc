// The options of VurodoroViri_Options.h: they reach into one adapter (its client, its exchange, its
// polling thread's first wait) and change nothing for an adapter they are not called on.
#include <algorithm>

#include "CLS_VurodoroViri_Druvel.h"
#include "VurodoroViri_Options.h"
#include "facepad_protocol.h"
#include "gateway_exchange.h"
#include "polling_control.h"

namespace Osmer_Framework {
namespace Face {

namespace {
// No read or write waits longer than this, as with the client's defaults.
constexpr std::chrono::milliseconds kLongestWait{15000};
constexpr std::chrono::milliseconds kLongestFirstPollDelay{8000};
}  // namespace

struct AdapterOptionsAccess {
    static Terminal_Http_Tool& Client(VurodoroViri_Druvel& adapter) { return adapter.m_httpTool; }
    static const Terminal_Http_Tool& Client(const VurodoroViri_Druvel& adapter)
    {
        return adapter.m_httpTool;
    }
    // GetAvailableFace's own exchange and log lines, with the reply kept.
    static bool GetAvailable(VurodoroViri_Druvel& adapter, std::string& reply)
    {
        return VurodoroViri_Druvel::Accepted(
            "GetAvailableFace",
            adapter.Exchange(facepad::endpoint::kGetAvailable, std::string(), reply));
    }
};

bool VurodoroViri_SetExchangeTimeouts(VurodoroViri_Druvel& adapter,
                                      const VurodoroViri_ExchangeTimeouts& timeouts)
{
    if (timeouts.connect.count() <= 0 || timeouts.total.count() <= 0 ||
        timeouts.connect > timeouts.total) {
        return false;
    }
    Terminal_Http_Tool& client = AdapterOptionsAccess::Client(adapter);
    Terminal_Http_Options options = client.GetOptions();
    options.connectTimeout = timeouts.connect;
    options.totalTimeout = timeouts.total;
    options.readTimeout = std::min(kLongestWait, timeouts.total);
    options.writeTimeout = std::min(kLongestWait, timeouts.total);
    client.SetOptions(options);
    return true;
}

VurodoroViri_ExchangeTimeouts VurodoroViri_GetExchangeTimeouts(const VurodoroViri_Druvel& adapter)
{
    const Terminal_Http_Options options = AdapterOptionsAccess::Client(adapter).GetOptions();
    return VurodoroViri_ExchangeTimeouts{options.connectTimeout, options.totalTimeout};
}

bool VurodoroViri_SetFirstPollDelay(VurodoroViri_Druvel& adapter, std::chrono::milliseconds delay)
{
    if (delay.count() < 0 || delay > kLongestFirstPollDelay) {
        return false;
    }
    PollingControl::Instance().SetFirstPollDelay(&adapter, delay);
    return true;
}

bool VurodoroViri_SetPollingMode(VurodoroViri_Druvel& adapter, VurodoroViri_PollingMode mode)
{
    PollRhythm rhythm = PollRhythm::Host;
    switch (mode) {
    case VurodoroViri_PollingMode::Host:
        break;
    case VurodoroViri_PollingMode::Paused:
        rhythm = PollRhythm::Paused;
        break;
    case VurodoroViri_PollingMode::Drain:
        rhythm = PollRhythm::Drain;
        break;
    default:
        return false;
    }
    PollingControl::Instance().SetRhythm(&adapter, rhythm);
    return true;
}

bool VurodoroViri_GetAvailableReply(VurodoroViri_Druvel& adapter, std::string& reply)
try {
    reply.clear();
    return AdapterOptionsAccess::GetAvailable(adapter, reply);
} catch (...) {
    reply.clear();
    return false;
}

}  // namespace Face
}  // namespace Osmer_Framework
