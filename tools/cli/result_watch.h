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

// Every poll takes every result off the gateway, the host's too, so the tool polls only while it
// waits for results: from the adapter's construction polling is paused.
void PausePolling(Osmer_Framework::Face::VurodoroViri_Druvel& adapter);
// Installs the collecting callback and polls at once, then again at once while polls bring
// results. `onArrival` (may be empty) runs on the polling thread for each result as it arrives,
// before waiters are woken. With `keep` false results are handed to it and not kept here (a
// sync's results go into its own compact table).
void CollectResults(Osmer_Framework::Face::VurodoroViri_Druvel& adapter,
                    std::function<void(const ArrivedResult&)> onArrival, bool keep = true);
// Pauses polling again. From its return on, `onArrival` is not called again (what it uses may go);
// results of a poll still in flight are kept, so that its list does not end the polling thread.
void StopCollecting(Osmer_Framework::Face::VurodoroViri_Druvel& adapter);
// Waits until `done` holds for the results so far (serial -> id -> code) or `limit` passes;
// returns whether it held.
bool WaitForResults(
    std::chrono::steady_clock::duration limit,
    const std::function<bool(const std::map<std::string, std::map<std::string, std::string>>&)>&
        done);
// A copy of everything received so far.
std::map<std::string, std::map<std::string, std::string>> ReceivedResults();

// The polls made from its construction on, as the adapter's poll record tells them.
class PollWatch {
public:
    PollWatch();
    // Waits until a poll found no result waiting at the gateway (true), `limit` passes or `stop`
    // says so (false).
    bool WaitUntilGatewayHoldsNone(std::chrono::steady_clock::duration limit,
                                   const std::function<bool()>& stop) const;
    // Polls whose request went out but whose answer never came whole: each may have taken results
    // off the gateway that are lost now.
    unsigned long long MayHaveLostResults() const;
    // "" or "; N poll(s) failed after they were sent: ..." for a summary.
    std::string LostWarning() const;

private:
    unsigned long long m_lostBefore;
    unsigned long long m_nothingBefore;
};

}  // namespace facepad::cli
