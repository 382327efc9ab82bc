// One adapter operation, and why it came out as it did: the exchange's outcome, the HTTP status
// and the gateway's reply text, read on the thread that made the call.
#pragma once

#include <VurodoroViri_Diagnostics.h>

#include <functional>
#include <string>

#include "command_line.h"

namespace facepad::cli {

struct CallOutcome {
    bool ok = false;  // what the adapter returned
    Osmer_Framework::Face::VurodoroViri_ExchangeOutcome exchange =
        Osmer_Framework::Face::VurodoroViri_ExchangeOutcome::None;
    Osmer_Framework::Face::VurodoroViri_Delivery delivery =
        Osmer_Framework::Face::VurodoroViri_Delivery::NotSent;
    std::string status;  // HTTP status when the gateway (or a proxy in front of it) answered
    std::string reply;   // the first bytes of the gateway's answer
    std::string detail;  // the adapter's reason in words, when it gives one
};

// Runs `operation` on this thread and reads its diagnostics. The adapter's own time-outs (or
// --timeout, applied to the adapter) bound it.
CallOutcome Call(const std::function<bool()>& operation);

// The reason in words ("refused by the gateway: HTTP 409: refused: unknown terminal T9",
// "connection refused: nothing answers at http://127.0.0.1:1", "cannot resolve gw.example") and
// the exit code it maps to.
std::string Reason(const CallOutcome& outcome, const CommandLine& line);
ExitCode CodeFor(const CallOutcome& outcome);
// True when the gateway could not be talked to: going on with more requests is pointless. A
// proxy's 502, 503 or 504 counts (exit code 3) but is not alone reason to stop.
bool GatewayUnreachable(const CallOutcome& outcome);
// A failed call whose request went out: the gateway may have carried it out, so it must not be
// sent again before its result tells.
bool MayHaveBeenDone(const CallOutcome& outcome);
// A gateway's reason text as it is; a page of markup (a proxy's or a web server's) by its title.
std::string ReplyText(const std::string& reply);
// "not_sent", "may_have_been_done" or "answered", for --json.
const char* DeliveryName(const CallOutcome& outcome);

}  // namespace facepad::cli
