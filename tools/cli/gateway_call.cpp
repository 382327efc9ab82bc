#include "gateway_call.h"

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <thread>

namespace facepad::cli {

namespace {

using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Osmer_Framework::Face::VurodoroViri_ExchangeOutcomeName;

int g_timeoutSeconds = 0;
bool g_timedOut = false;

CallOutcome CallHere(const std::function<bool()>& operation)
{
    CallOutcome outcome;
    outcome.ok = operation();
    const auto last = Osmer_Framework::Face::VurodoroViri_GetLastExchange();
    outcome.exchange = last.outcome;
    outcome.status = last.status;
    auto reply = Osmer_Framework::Face::VurodoroViri_GetLastReply();
    outcome.reply = std::move(reply.text);
    outcome.replyTruncated = reply.truncated;
    return outcome;
}

// A call that --timeout gave up on, or that was never made because an earlier one had been.
CallOutcome TimedOutHere()
{
    CallOutcome outcome;
    outcome.exchange = VurodoroViri_ExchangeOutcome::Timeout;
    outcome.timedOutHere = true;
    return outcome;
}

// What the waiting thread and the calling thread share; the caller may outlive the wait.
struct PendingCall {
    std::mutex mutex;
    std::condition_variable done;
    bool finished = false;
    CallOutcome outcome;
};

// The adapter's own limits cannot be shortened from outside, so the call runs on a thread of its
// own and is abandoned when --timeout runs out.
CallOutcome CallWithin(const std::function<bool()>& operation, std::chrono::seconds limit)
{
    auto pending = std::make_shared<PendingCall>();
    std::thread([pending, operation] {
        CallOutcome outcome = CallHere(operation);
        std::lock_guard<std::mutex> lock(pending->mutex);
        pending->outcome = std::move(outcome);
        pending->finished = true;
        pending->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(pending->mutex);
    if (pending->done.wait_for(lock, limit, [&] { return pending->finished; })) {
        return pending->outcome;
    }
    g_timedOut = true;
    return TimedOutHere();
}

std::string ReplyText(const std::string& reply)
{
    std::string text = reply;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text.empty() ? std::string("(empty reply)") : text;
}

}  // namespace

void SetCallTimeout(int seconds)
{
    g_timeoutSeconds = seconds;
}

bool CallTimedOut()
{
    return g_timedOut;
}

CallOutcome Call(const std::function<bool()>& operation)
{
    if (g_timedOut) {
        return TimedOutHere();
    }
    if (g_timeoutSeconds <= 0) {
        return CallHere(operation);
    }
    return CallWithin(operation, std::chrono::seconds(g_timeoutSeconds));
}

std::string Reason(const CallOutcome& outcome, const std::string& address)
{
    switch (outcome.exchange) {
    case VurodoroViri_ExchangeOutcome::Refused:
        return "refused by the gateway: HTTP " + outcome.status + ": " + ReplyText(outcome.reply);
    case VurodoroViri_ExchangeOutcome::Timeout:
        return outcome.timedOutHere
                   ? "timed out: no answer from " + address + " within --timeout " +
                         std::to_string(g_timeoutSeconds) + " s"
                   : "timed out waiting for " + address;
    case VurodoroViri_ExchangeOutcome::ConnectionRefused:
        return "connection refused: nothing answers at " + address;
    case VurodoroViri_ExchangeOutcome::BadUrl:
        return "bad URL: " + address + " (only http://HOST is supported)";
    case VurodoroViri_ExchangeOutcome::None:
        return "the adapter sent nothing (see its log with --verbose)";
    case VurodoroViri_ExchangeOutcome::Accepted:
        return "accepted";
    default:
        return std::string(VurodoroViri_ExchangeOutcomeName(outcome.exchange)) + " (" + address +
               ")";
    }
}

ExitCode CodeFor(const CallOutcome& outcome)
{
    if (outcome.ok) {
        return ExitCode::Success;
    }
    switch (outcome.exchange) {
    case VurodoroViri_ExchangeOutcome::BadUrl:
        return ExitCode::Usage;
    case VurodoroViri_ExchangeOutcome::Accepted:
    case VurodoroViri_ExchangeOutcome::Refused:
    case VurodoroViri_ExchangeOutcome::None:
        return ExitCode::Refused;
    default:
        return ExitCode::Unreachable;
    }
}

bool GatewayUnreachable(const CallOutcome& outcome)
{
    const ExitCode code = CodeFor(outcome);
    return code == ExitCode::Unreachable || code == ExitCode::Usage;
}

void EndWithoutCleanup(int exitCode)
{
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(exitCode);
}

}  // namespace facepad::cli
