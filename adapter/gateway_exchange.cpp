#include "gateway_exchange.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Version.h"
#include "front_end_answer.h"

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr const char* kStatusAccepted = "200";

// Trivially destructible, so a plain thread_local is safe in a MinGW DLL too.
struct LastExchange {
    VurodoroViri_ExchangeOutcome outcome;
    int status;
    VurodoroViri_Delivery delivery;
};
thread_local LastExchange t_lastExchange{VurodoroViri_ExchangeOutcome::None, 0,
                                         VurodoroViri_Delivery::NotSent};

// A bounded copy of the last reply body, so that a refusal's reason can be shown without keeping
// a large answer alive; a plain array for the same reason as above.
struct LastReply {
    char text[VurodoroViri_kLastReplyLimit];
    std::size_t length;
    bool truncated;
};
thread_local LastReply t_lastReply{{}, 0, false};

// Why the last exchange failed, in words, bounded and plain for the same reasons.
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

// The host needs to know whether a failed command may have been carried out, and why it failed.
GatewayAnswer Failure(VurodoroViri_ExchangeOutcome outcome, bool written, const std::string& detail)
{
    t_lastReply.length = 0;
    t_lastReply.truncated = false;
    const VurodoroViri_Delivery delivery =
        written ? VurodoroViri_Delivery::MayHaveBeenDone : VurodoroViri_Delivery::NotSent;
    t_lastExchange = LastExchange{outcome, 0, delivery};
    KeepDetail(detail);
    return GatewayAnswer::None;
}

const char* FailureDetail(bool written)
{
    return written ? "the request went out and no whole answer came: the gateway may have "
                     "carried it out"
                   : "not one byte of the request was sent";
}

}  // namespace

GatewayAnswer ExchangeOnce(Terminal_Http_Tool& client, const GatewayRequest& request)
{
    if (request.urlFault != nullptr) {
        if (request.reply != nullptr) {
            request.reply->clear();
        }
        return Failure(VurodoroViri_ExchangeOutcome::BadUrl, false, request.urlFault);
    }
    Terminal_Http_Call call;
    call.cancel = request.cancel;
    std::string firstBytes;
    if (request.reply == nullptr) {
        call.keepReplyBytes = VurodoroViri_kLastReplyLimit + 1;  // + 1: whether it was cut
    }
    std::string& reply = request.reply != nullptr ? *request.reply : firstBytes;
    if (!client.HttpPost(request.url, request.body, reply, call)) {
        const bool written = client.GetLastPostWritten();
        const Terminal_Http_Error error = client.GetLastPostError();
        // The client's own words when it has some (a name that did not resolve), else ours.
        const std::string words = client.GetLastPostDetail();
        return Failure(OutcomeOfFailure(error), written,
                       !words.empty()                             ? words
                       : error == Terminal_Http_Error::InvalidUrl ? "not an http:// URL"
                                                                  : FailureDetail(written));
    }
    t_lastDetail.length = 0;
    // Only the exact text "200" counts: "200 ", "2000" and "" are refusals too.
    KeepReply(reply);
    const std::string status = client.GetLastPostStatus();
    const int code = std::atoi(status.c_str());
    if (status == kStatusAccepted) {
        t_lastExchange = LastExchange{VurodoroViri_ExchangeOutcome::Accepted, code,
                                      VurodoroViri_Delivery::Answered};
        return GatewayAnswer::Accepted;
    }
    // A proxy's 502/503/504 is no refusal by the gateway: the command may have reached it.
    if (IsFrontEndStatus(code)) {
        t_lastExchange = LastExchange{VurodoroViri_ExchangeOutcome::ProxyError, code,
                                      VurodoroViri_Delivery::MayHaveBeenDone};
        KeepDetail(FrontEndDetail(code, reply));
        return GatewayAnswer::Refused;
    }
    t_lastExchange =
        LastExchange{VurodoroViri_ExchangeOutcome::Refused, code, VurodoroViri_Delivery::Answered};
    return GatewayAnswer::Refused;
}

VurodoroViri_LastExchange VurodoroViri_GetLastExchange()
{
    VurodoroViri_LastExchange last;
    last.outcome = t_lastExchange.outcome;
    if (t_lastExchange.status != 0) {
        last.status = std::to_string(t_lastExchange.status);
    }
    last.delivery = t_lastExchange.delivery;
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
    case VurodoroViri_ExchangeOutcome::ProxyError:
        return "no answer from the gateway behind a proxy";
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
