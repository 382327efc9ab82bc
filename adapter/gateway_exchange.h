// The one exchange with the gateway that every operation and the polling thread perform: a POST
// through the adapter's client, then the status, which must be exactly "200". It also keeps the
// calling thread's last outcome for the diagnostics extension.
#pragma once

#include <string>

#include "Terminal_Http_Tool.h"

namespace Osmer_Framework {
namespace Face {

// Whether a failed exchange writes the operation's log line: the record commands and the poll
// report a failure by their result alone.
enum class FailureLog : int { Written, None };

enum class GatewayAnswer : int {
    None,      // no answer: the POST itself failed, or was never made
    Refused,   // an answer whose status is not exactly "200"
    Accepted,  // "200"
};

struct GatewayRequest {
    const char* endpoint;  // its path, as the diagnostics name it
    const std::string& url;
    // Why the base URL cannot address a gateway (null when it can): then nothing is sent.
    const char* urlFault;
    const std::string& body;
    // The whole answer's body goes here; null: it is read and dropped, but for the first bytes
    // the diagnostics keep.
    std::string* reply;
    Terminal_Http_Cancel* cancel;  // null: host operations cannot be aborted from outside
};

GatewayAnswer ExchangeOnce(Terminal_Http_Tool& client, const GatewayRequest& request);

}  // namespace Face
}  // namespace Osmer_Framework
