// The outcome of each thread's last POST, per client. Kept per thread so that a host thread and the
// polling thread sharing one client never read each other's status.
#pragma once

#include <cstdint>
#include <string>

#include "Terminal_Http_Tool.h"

namespace Osmer_Framework {
namespace http {

struct PostOutcome {
    std::string status;  // "" when no answer came
    Terminal_Http_Error error = Terminal_Http_Error::None;
    bool written = false;  // a byte of the request went into a connection
    std::string detail;    // the failure in words, when there is more to say than `error`
};

// Clients are told apart by a number that is never reused, so a new client at the address of a
// destroyed one does not inherit its outcomes.
std::uint64_t NewClientId();

void StoreOutcome(std::uint64_t clientId, PostOutcome outcome);
// Valid until the calling thread's next StoreOutcome.
const PostOutcome& LoadOutcome(std::uint64_t clientId);

}  // namespace http
}  // namespace Osmer_Framework
