// The one exchange with the gateway that every operation and the polling thread perform: a POST
// through the adapter's client, then the status, which must be exactly "200". It also keeps the
// calling thread's last outcome for the diagnostics extension.
#pragma once

#include <string>

#include "Terminal_Http_Tool.h"

namespace Osmer_Framework {
namespace Face {

enum class GatewayAnswer : int {
    None,      // no answer: the POST itself failed
    Refused,   // an answer whose status is not exactly "200"
    Accepted,  // "200"
};

// `cancel` may be null (host operations cannot be aborted from outside).
GatewayAnswer ExchangeOnce(Terminal_Http_Tool& client, const std::string& url,
                           const std::string& body, std::string& reply,
                           Terminal_Http_Cancel* cancel);

}  // namespace Face
}  // namespace Osmer_Framework
