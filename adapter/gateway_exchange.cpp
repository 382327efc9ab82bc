#include "gateway_exchange.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Version.h"

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr const char* kStatusAccepted = "200";

// Trivially destructible, so a plain thread_local is safe in a MinGW DLL too.
struct LastExchange {
    VurodoroViri_ExchangeOutcome outcome;
    int status;
};
thread_local LastExchange t_lastExchange{VurodoroViri_ExchangeOutcome::None, 0};

// A bounded copy of the last reply body, so that a refusal's reason can be shown without keeping
// a large answer alive; a plain array for the same reason as above.
struct LastReply {
    char text[VurodoroViri_kLastReplyLimit];
    std::size_t length;
    bool truncated;
};
thread_local LastReply t_lastReply{{}, 0, false};

// The client's words on why the last exchange failed, bounded and plain for the same reasons.
struct LastDetail {
    char text[256];
    std::size_t length;
};
thread_local LastDetail t_lastDetail{{}, 0};

void KeepDetail(const std::string& detail)
{
    t_lastDetail.length = std::min(detail.size(), sizeof(t_lastDetail.text));
    std::memcpy(t_lastDetail.text, detail.data(), t_lastDetail.length);
}

void KeepReply(const std::string& reply)
{
    t_lastReply.length = std::min(reply.size(), VurodoroViri_kLastReplyLimit);
    t_lastReply.truncated = reply.size() > VurodoroViri_kLastReplyLimit;
    std::memcpy(t_lastReply.text, reply.data(), t_lastReply.length);
}

VurodoroViri_ExchangeOutcome OutcomeOfFailure(Terminal_Http_Error error)
{
    switch (error) {
    case Terminal_Http_Error::InvalidUrl:
        return VurodoroViri_ExchangeOutcome::BadUrl;
    case Terminal_Http_Error::Connect:
        return VurodoroViri_ExchangeOutcome::ConnectionRefused;
    case Terminal_Http_Error::Timeout:
        return VurodoroViri_ExchangeOutcome::Timeout;
    case Terminal_Http_Error::ReplyTooLarge:
        return VurodoroViri_ExchangeOutcome::ReplyTooLarge;
    case Terminal_Http_Error::BadReply:
        return VurodoroViri_ExchangeOutcome::BadReply;
    case Terminal_Http_Error::Cancelled:
        return VurodoroViri_ExchangeOutcome::Cancelled;
    case Terminal_Http_Error::Resolve:
        return VurodoroViri_ExchangeOutcome::CannotResolve;
    case Terminal_Http_Error::None:
    case Terminal_Http_Error::Transport:
        break;
    }
    return VurodoroViri_ExchangeOutcome::ConnectionBroken;
}

}  // namespace

GatewayAnswer ExchangeOnce(Terminal_Http_Tool& client, const std::string& url,
                           const std::string& body, std::string& reply,
                           Terminal_Http_Cancel* cancel)
{
    const bool answered = cancel != nullptr
                              ? client.HttpPostRequest(url, body, reply, false, *cancel)
                              : client.HttpPostRequest(url, body, reply, false);
    if (!answered) {
        t_lastReply.length = 0;
        t_lastReply.truncated = false;
        t_lastExchange = LastExchange{OutcomeOfFailure(client.GetLastPostError()), 0};
        KeepDetail(client.GetLastPostDetail());
        return GatewayAnswer::None;
    }
    t_lastDetail.length = 0;
    // Only the exact text "200" counts: "200 ", "2000" and "" are refusals too.
    KeepReply(reply);
    const std::string status = client.GetLastPostStatus();
    const bool accepted = status == kStatusAccepted;
    t_lastExchange = LastExchange{
        accepted ? VurodoroViri_ExchangeOutcome::Accepted : VurodoroViri_ExchangeOutcome::Refused,
        std::atoi(status.c_str())};
    return accepted ? GatewayAnswer::Accepted : GatewayAnswer::Refused;
}

VurodoroViri_LastExchange VurodoroViri_GetLastExchange()
{
    VurodoroViri_LastExchange last;
    last.outcome = t_lastExchange.outcome;
    if (t_lastExchange.status != 0) {
        last.status = std::to_string(t_lastExchange.status);
    }
    last.detail.assign(t_lastDetail.text, t_lastDetail.length);
    return last;
}

VurodoroViri_LastReply VurodoroViri_GetLastReply()
{
    VurodoroViri_LastReply last;
    last.text.assign(t_lastReply.text, t_lastReply.length);
    last.truncated = t_lastReply.truncated;
    return last;
}

const char* VurodoroViri_ExchangeOutcomeName(VurodoroViri_ExchangeOutcome outcome)
{
    switch (outcome) {
    case VurodoroViri_ExchangeOutcome::None:
        return "no exchange yet";
    case VurodoroViri_ExchangeOutcome::Accepted:
        return "accepted";
    case VurodoroViri_ExchangeOutcome::Refused:
        return "refused by the gateway";
    case VurodoroViri_ExchangeOutcome::Timeout:
        return "timed out";
    case VurodoroViri_ExchangeOutcome::ConnectionRefused:
        return "connection refused";
    case VurodoroViri_ExchangeOutcome::ConnectionBroken:
        return "connection broken";
    case VurodoroViri_ExchangeOutcome::BadUrl:
        return "bad URL";
    case VurodoroViri_ExchangeOutcome::ReplyTooLarge:
        return "reply too large";
    case VurodoroViri_ExchangeOutcome::BadReply:
        return "malformed reply";
    case VurodoroViri_ExchangeOutcome::Cancelled:
        return "cancelled";
    case VurodoroViri_ExchangeOutcome::CannotResolve:
        return "cannot resolve";
    }
    return "unknown";
}

const char* VurodoroViri_GetVersion()
{
    return VURODOROVIRI_VERSION;
}

namespace {

// The byte at `i` as an unsigned value, so that shifting it never goes through a signed int.
unsigned ByteAt(const std::string& bytes, std::size_t i)
{
    return static_cast<unsigned char>(bytes[i]);
}

}  // namespace

std::string VurodoroViri_Base64Encode(const std::string& bytes)
{
    static const char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string text;
    text.reserve((bytes.size() + 2) / 3 * 4);
    std::size_t i = 0;
    for (; i + 2 < bytes.size(); i += 3) {
        const unsigned group =
            ByteAt(bytes, i) << 16 | ByteAt(bytes, i + 1) << 8 | ByteAt(bytes, i + 2);
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += kAlphabet[group >> 6 & 63];
        text += kAlphabet[group & 63];
    }
    const std::size_t rest = bytes.size() - i;
    if (rest > 0) {
        const unsigned group =
            ByteAt(bytes, i) << 16 | (rest == 2 ? ByteAt(bytes, i + 1) << 8 : 0u);
        text += kAlphabet[group >> 18 & 63];
        text += kAlphabet[group >> 12 & 63];
        text += rest == 2 ? kAlphabet[group >> 6 & 63] : '=';
        text += '=';
    }
    return text;
}

}  // namespace Face
}  // namespace Osmer_Framework
