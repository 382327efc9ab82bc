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
    std::string status;  // HTTP status when the gateway answered
    std::string reply;   // the first bytes of the gateway's answer
    bool replyTruncated = false;
    bool timedOutHere = false;  // --timeout ran out before the adapter returned
};

// The global --timeout in seconds (0: none); once a call has run out of it the adapter is still
// busy on another thread, so every later call fails at once and the process must end with
// EndWithoutCleanup.
void SetCallTimeout(int seconds);
bool CallTimedOut();
CallOutcome Call(const std::function<bool()>& operation);

// The reason in words ("refused by the gateway: HTTP 409: refused: unknown terminal T9",
// "connection refused at http://127.0.0.1:1", ...) and the exit code it maps to.
std::string Reason(const CallOutcome& outcome, const std::string& address);
ExitCode CodeFor(const CallOutcome& outcome);
// True when the gateway could not be talked to: going on with more requests is pointless.
bool GatewayUnreachable(const CallOutcome& outcome);

// Flushes and ends the process without destroying an adapter still in use on another thread.
[[noreturn]] void EndWithoutCleanup(int exitCode);

}  // namespace facepad::cli
