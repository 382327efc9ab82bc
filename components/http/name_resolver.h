// Host names to socket addresses within the caller's deadline, cut short by its cancel signal.
//
// A numeric address ("127.0.0.1", "::1") is converted on the caller's thread, with no thread and
// no wait. A name goes to the system's resolver on a thread of its own, because the resolver call
// can be given neither a deadline nor a cancel: the caller waits for that thread until its
// deadline or its cancel and may then leave it behind. A lookup left behind ends by the resolver's
// own time-outs and touches nothing but the memory it shares with its caller.
#pragma once

#include <memory>
#include <string>

#include "tcp_socket.h"

namespace Osmer_Framework {
namespace http {

struct AddressListDeleter {
    void operator()(addrinfo* list) const;
};
// The resolver's own list, in its order of preference.
using AddressList = std::unique_ptr<addrinfo, AddressListDeleter>;

enum class ResolveStatus {
    Resolved,
    Unresolved,  // no such host, no answer by the deadline, or the resolver failed
    Cancelled,
};

struct Resolution {
    ResolveStatus status = ResolveStatus::Unresolved;
    AddressList addresses;
    std::string reason;  // unless resolved: "cannot resolve gateway.example: no such host"
};

Resolution ResolveHost(const std::string& host, int port, Deadline deadline, CancelSignal* cancel);

}  // namespace http
}  // namespace Osmer_Framework
