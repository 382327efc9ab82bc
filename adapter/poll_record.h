// Keeps what the polling threads' exchanges came to, for VurodoroViri_GetPollRecord: the polling
// thread's own diagnostics are per thread and no host thread can read them.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

// On the polling thread, right after its exchange: copies that thread's last exchange, and
// whether the gateway's answer (`reply`, when accepted) said that no result was waiting.
void NotePoll(bool accepted, const std::string& reply);

}  // namespace Face
}  // namespace Osmer_Framework
