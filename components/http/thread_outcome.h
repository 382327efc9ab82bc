// The status of each thread's last HttpPostRequest, per client, for GetLastPostStatus: the
// framework's pair reads the status after the call, and a host thread and the polling thread
// sharing one client must never read each other's. HttpPost returns its outcome and stores nothing.
#pragma once

#include <cstdint>

namespace Osmer_Framework {
namespace http {

// Clients are told apart by a number that is never reused, so a new client at the address of a
// destroyed one does not inherit its statuses.
std::uint64_t NewClientId();

// 0: no answer came.
void StoreStatus(std::uint64_t clientId, int status);
// 0 when the calling thread has not posted through that client (or got no answer).
int LoadStatus(std::uint64_t clientId);

}  // namespace http
}  // namespace Osmer_Framework
