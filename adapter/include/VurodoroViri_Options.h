// Options beside the host interface, for programs that need other limits than a host's: shorter
// exchange time-outs, an earlier first poll (a diagnostic tool that installs its callback before
// its first command), polls only while a tool waits for results, and the whole terminal list the
// gateway answers to "facepad/getavailable".
// Hosts that never call these see nothing change: 3 s to connect, 30 s per exchange, first poll
// 8 s after construction.
#pragma once

#include <chrono>
#include <string>

#include "VurodoroViri_Export.h"

namespace Osmer_Framework {
namespace Face {

class VurodoroViri_Druvel;

struct VurodoroViri_ExchangeTimeouts {
    std::chrono::milliseconds connect{3000};  // to open a connection to the gateway
    std::chrono::milliseconds total{30000};   // the whole exchange, connect to last byte
};

// The time-outs of every exchange of `adapter` from the next one on, the polling thread's
// included. False, and nothing changed, when either is not positive or `connect` exceeds
// `total`. A read or write waits at most 15 s, and never past `total`.
VURODOROVIRI_DRUVEL_API bool VurodoroViri_SetExchangeTimeouts(
    VurodoroViri_Druvel& adapter, const VurodoroViri_ExchangeTimeouts& timeouts);
VURODOROVIRI_DRUVEL_API VurodoroViri_ExchangeTimeouts
VurodoroViri_GetExchangeTimeouts(const VurodoroViri_Druvel& adapter);

// The first poll of `adapter`'s polling thread comes `delay` after construction instead of 8 s;
// a result list that arrives while no callback is installed still ends the thread, so install the
// callback first. Takes effect at once when the thread is still in its first wait, and changes
// nothing after the first poll. False, and nothing changed, for a delay below 0 or above 8 s.
VURODOROVIRI_DRUVEL_API bool VurodoroViri_SetFirstPollDelay(VurodoroViri_Druvel& adapter,
                                                            std::chrono::milliseconds delay);

// How `adapter`'s polling thread asks "facepad/getresult" for results. Every poll takes all the
// results waiting at the gateway, whoever sent the commands, so a tool that shares a gateway with
// a host pauses polling until it waits for results of its own, then collects them as fast as the
// gateway hands them out (a gateway may hand out only part of its results per poll).
enum class VurodoroViri_PollingMode {
    Host,    // the host's rhythm: first poll 8 s after construction (or the first-poll delay),
             // then 1 s apart, 8 s apart once ten deliveries in a row left the result map empty
    Paused,  // no poll until the mode changes; a poll under way still finishes and delivers,
             // and the call returns once it has (at once when made from the result callback)
    Drain,   // a poll at once, then the next at once after every poll that delivered results,
             // 1 s after one that did not
};
// Takes effect at once, in the wait under way. False, and nothing changed, for another value.
VURODOROVIRI_DRUVEL_API bool VurodoroViri_SetPollingMode(VurodoroViri_Druvel& adapter,
                                                         VurodoroViri_PollingMode mode);

// Asks the gateway for its terminals exactly as GetAvailableFace does (same request, same result,
// same log lines) and keeps the reply's body in `reply`: the whole of it, up to the client's
// reply cap of 16 MiB (a larger reply is a failure). `reply` is empty when no answer came.
VURODOROVIRI_DRUVEL_API bool VurodoroViri_GetAvailableReply(VurodoroViri_Druvel& adapter,
                                                            std::string& reply);

}  // namespace Face
}  // namespace Osmer_Framework
