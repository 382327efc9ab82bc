// The report of a sync: one CSV row per user and terminal with its final state, and the reading
// of such a report back for --retry-failed.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

namespace facepad::cli {

// States a user can end in on one terminal (the "state" column).
namespace final_state {
inline constexpr char kDone[] = "done";                     // the terminal returned 0
inline constexpr char kTerminalError[] = "terminal-error";  // the terminal returned a code
inline constexpr char kRejected[] = "rejected";             // the gateway refused a request
inline constexpr char kNoResult[] = "no-result";            // accepted, no result within the wait
inline constexpr char kSent[] = "sent";                     // accepted; results not waited for
inline constexpr char kNotSent[] = "not-sent";              // the gateway was never reached
inline constexpr char kUncertain[] = "uncertain";           // cut off mid-request; not resent
inline constexpr char kChecked[] = "checked";               // --dry-run: would be sent
}  // namespace final_state

struct UserOutcome {
    std::string pin;
    std::string serial;
    std::string state;
    std::string detail;
    std::string userCommand;
    std::string photoCommand;  // empty without a photo
};

// Returns a problem or "".
std::string WriteReport(const std::string& path, const std::vector<UserOutcome>& outcomes);

struct FailedPairs {
    std::set<std::pair<std::string, std::string>> pairs;  // serial, pin: everything not done
    std::string problem;
};
FailedPairs ReadFailedPairs(const std::string& path);

}  // namespace facepad::cli
