// Receives the terminals' results through the adapter's callback and keeps them for the waiting
// thread, keyed by terminal serial and command identifier.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <map>
#include <string>

namespace Osmer_Framework::Face {
class VurodoroViri_Druvel;
}

namespace facepad::cli {

struct ArrivedResult {
    std::string serial;
    std::string id;
    std::string code;
};

// Installs the collecting callback. `onArrival` (may be empty) runs on the polling thread for each
// result as it arrives, before waiters are woken.
void CollectResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                    std::function<void(const ArrivedResult&)> onArrival);
// Waits until `done` holds for the results so far (serial -> id -> code) or `limit` passes;
// returns whether it held.
bool WaitForResults(
    std::chrono::steady_clock::duration limit,
    const std::function<bool(const std::map<std::string, std::map<std::string, std::string>>&)>&
        done);
// A copy of everything received so far.
std::map<std::string, std::map<std::string, std::string>> ReceivedResults();

}  // namespace facepad::cli
