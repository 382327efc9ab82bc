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
// result as it arrives, before waiters are woken. With `keep` false results are handed to it and
// not kept here (a sync's results go into its own compact table).
void CollectResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                    std::function<void(const ArrivedResult&)> onArrival, bool keep = true);
// --fast-first-poll, once the callback is installed: the first poll 0.5 s after the adapter
// started instead of 8 s (a list arriving with no callback would end the polling thread).
void PollSoon(Osmer_Framework::Face::VurodoroViri_Druvel& adapter);
// From its return on, `onArrival` is not called again (what it uses may go); results are still
// taken and kept, so that a list arriving later does not end the polling thread.
void StopCollecting();
// Waits until `done` holds for the results so far (serial -> id -> code) or `limit` passes;
// returns whether it held.
bool WaitForResults(
    std::chrono::steady_clock::duration limit,
    const std::function<bool(const std::map<std::string, std::map<std::string, std::string>>&)>&
        done);
// A copy of everything received so far.
std::map<std::string, std::map<std::string, std::string>> ReceivedResults();

}  // namespace facepad::cli
