// Diagnostics beside the host interface, for hosts that want more than true or false: why the
// calling thread's last exchange with the gateway ended as it did, the library's version, and the
// base64 text a photo's "content" is sent as. Hosts that use only CLS_VurodoroViri_Base need none
// of it; nothing here changes what the adapter sends or logs.
#pragma once

#include <cstddef>
#include <string>

#include "VurodoroViri_Export.h"

namespace Osmer_Framework {
namespace Face {

enum class VurodoroViri_ExchangeOutcome {
    None,               // this thread has not exchanged anything with a gateway yet
    Accepted,           // the gateway answered 200
    Refused,            // the gateway answered another status (see `status`)
    Timeout,            // connect, read or write time-out, or the 30 s deadline
    ConnectionRefused,  // nothing listens there, the host is unreachable or its name unknown
    ConnectionBroken,   // the connection broke before the whole answer came
    BadUrl,             // the base URL and port do not make an http:// URL
    ReplyTooLarge,      // the answer's head or body went past its limit
    BadReply,           // the answer was not HTTP/1.x
    Cancelled,          // aborted because the adapter was being destroyed
    CannotResolve,      // the gateway's host name did not resolve, or not within the deadline
    // A proxy in front of the gateway (or its own front end) answered 502, 503 or 504 (see
    // `status`): it could not reach the gateway or stopped waiting for it, which says nothing of
    // whether the gateway carried the command out (`delivery` is MayHaveBeenDone).
    ProxyError,
};

// Whether the gateway may have carried out the command of an operation that returned false. The
// adapter never sends a command a second time unless it knows the gateway did not see it; a host
// that wants to try again decides with this.
enum class VurodoroViri_Delivery {
    NotSent,          // not one byte of the request reached the gateway: sending again is safe
    MayHaveBeenDone,  // the request went out and no answer of the gateway's came: it may have
                      // done it (no answer at all, or a proxy's 502, 503 or 504)
    Answered,         // the gateway answered (see `status`)
};

struct VurodoroViri_LastExchange {
    VurodoroViri_ExchangeOutcome outcome = VurodoroViri_ExchangeOutcome::None;
    std::string status;  // the answer's HTTP status ("409"), empty when no answer came
    VurodoroViri_Delivery delivery = VurodoroViri_Delivery::NotSent;
    std::string detail;  // the reason in words, for a person ("the base URL ends in \"/\""), or ""
};

// The calling thread's last exchange, through any adapter: an operation that returned false can
// be asked right after why it did.
VURODOROVIRI_DRUVEL_API VurodoroViri_LastExchange VurodoroViri_GetLastExchange();
// What the polling threads met: a gateway hands each result out once, so a poll that failed after
// its request went out (no whole answer, or a proxy's 502, 503 or 504: delivery MayHaveBeenDone)
// may have taken results off the gateway that nobody will ever see. Such a poll's `detail` says so.
struct VurodoroViri_PollRecord {
    VurodoroViri_LastExchange last;             // the latest poll of any adapter in the process
    unsigned long long polls = 0;               // polls made in this process
    unsigned long long mayHaveLostResults = 0;  // of those, polls that failed after sending
    unsigned long long foundNothing = 0;        // of those, polls answered "no result waiting"
};
VURODOROVIRI_DRUVEL_API VurodoroViri_PollRecord VurodoroViri_GetPollRecord();
// The first bytes (at most VurodoroViri_kLastReplyLimit) of the body the gateway answered in the
// calling thread's last exchange, whatever its status: the reason text of a refusal, or the list
// an accepted query returned. Empty when no answer came.
inline constexpr std::size_t VurodoroViri_kLastReplyLimit = 4096;
struct VurodoroViri_LastReply {
    std::string text;
    bool truncated = false;  // the body was longer than the limit
};
VURODOROVIRI_DRUVEL_API VurodoroViri_LastReply VurodoroViri_GetLastReply();
// "accepted", "refused", "timed out", ... for logs and messages.
VURODOROVIRI_DRUVEL_API const char* VurodoroViri_ExchangeOutcomeName(
    VurodoroViri_ExchangeOutcome outcome);
// The library's version, "major.minor.patch".
VURODOROVIRI_DRUVEL_API const char* VurodoroViri_GetVersion();
// Standard base64 with padding, as a photo's "content" is expected.
VURODOROVIRI_DRUVEL_API std::string VurodoroViri_Base64Encode(const std::string& bytes);

}  // namespace Face
}  // namespace Osmer_Framework
