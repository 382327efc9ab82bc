#include "gateway_call.h"

#include "front_end_answer.h"
#include "gateway_address.h"

namespace facepad::cli {

namespace {

using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Osmer_Framework::Face::VurodoroViri_ExchangeOutcomeName;

std::string Address(const CommandLine& line)
{
    return line.url + ":" + std::to_string(line.port);
}

}  // namespace

std::string ReplyText(const std::string& reply)
{
    if (Osmer_Framework::Face::LooksLikeHtml(reply)) {
        const std::string title = Osmer_Framework::Face::PageTitle(reply);
        return "an HTML page" + (title.empty() ? std::string() : " titled \"" + title + "\"");
    }
    std::string text = reply;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) {
        text.pop_back();
    }
    return text.empty() ? std::string("(empty reply)") : text;
}

CallOutcome Call(const std::function<bool()>& operation)
{
    CallOutcome outcome;
    outcome.ok = operation();
    auto last = Osmer_Framework::Face::VurodoroViri_GetLastExchange();
    outcome.exchange = last.outcome;
    outcome.status = std::move(last.status);
    outcome.detail = std::move(last.detail);
    outcome.delivery = last.delivery;
    outcome.reply = Osmer_Framework::Face::VurodoroViri_GetLastReply().text;
    return outcome;
}

std::string Reason(const CallOutcome& outcome, const CommandLine& line)
{
    switch (outcome.exchange) {
    case VurodoroViri_ExchangeOutcome::Refused:
        return "refused by the gateway: HTTP " + outcome.status + ": " + ReplyText(outcome.reply);
    case VurodoroViri_ExchangeOutcome::Timeout:
        return line.timeoutSeconds > 0
                   ? "timed out: no answer from " + Address(line) + " within --timeout " +
                         std::to_string(line.timeoutSeconds) + " s"
                   : "timed out waiting for " + Address(line);
    case VurodoroViri_ExchangeOutcome::ConnectionRefused:
        return "connection refused: nothing answers at " + Address(line);
    case VurodoroViri_ExchangeOutcome::CannotResolve:  // the detail names the host and why
        return outcome.detail.empty() ? "cannot resolve " + HostOf(line.url) : outcome.detail;
    case VurodoroViri_ExchangeOutcome::BadUrl:
        return "bad URL: " +
               (outcome.detail.empty() ? Address(line) + " (only http://HOST)" : outcome.detail);
    case VurodoroViri_ExchangeOutcome::None:
        return "the adapter sent nothing (see its log with --verbose)";
    case VurodoroViri_ExchangeOutcome::Accepted:
        return "accepted";
    case VurodoroViri_ExchangeOutcome::ProxyError:  // the status, the page's title, what it means
        return outcome.detail;
    default:
        return std::string(VurodoroViri_ExchangeOutcomeName(outcome.exchange)) + " (" +
               Address(line) + ")";
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

bool MayHaveBeenDone(const CallOutcome& outcome)
{
    return !outcome.ok &&
           outcome.delivery == Osmer_Framework::Face::VurodoroViri_Delivery::MayHaveBeenDone;
}

const char* DeliveryName(const CallOutcome& outcome)
{
    using Osmer_Framework::Face::VurodoroViri_Delivery;
    switch (outcome.delivery) {
    case VurodoroViri_Delivery::NotSent:
        return "not_sent";
    case VurodoroViri_Delivery::MayHaveBeenDone:
        return "may_have_been_done";
    case VurodoroViri_Delivery::Answered:
        break;
    }
    return "answered";
}

bool GatewayUnreachable(const CallOutcome& outcome)
{
    const ExitCode code = CodeFor(outcome);
    return code == ExitCode::Unreachable || code == ExitCode::Usage;
}

}  // namespace facepad::cli
