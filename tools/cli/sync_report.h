// The report of a sync: one CSV row per user and terminal with its final state, written row by row,
// and the reading of such a report back for --retry-failed.
#pragma once

#include <cstdio>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace facepad::cli {

// States a user can end in on one terminal (the "state" column).
namespace final_state {
inline constexpr char kDone[] = "done";                     // the terminal returned 0
inline constexpr char kTerminalError[] = "terminal-error";  // the terminal returned a code
inline constexpr char kRejected[] = "rejected";             // the gateway refused a request
inline constexpr char kNoResult[] = "no-result";            // accepted, no result within the wait
inline constexpr char kSent[] = "sent";                     // accepted; its result not waited for
inline constexpr char kNotSent[] = "not-sent";              // the gateway was never reached
inline constexpr char kUncertain[] = "uncertain";           // may have been carried out; not resent
inline constexpr char kChecked[] = "checked";               // --dry-run: would be sent
}  // namespace final_state

struct UserOutcome {
    std::string pin;
    std::string serial;
    const char* state = final_state::kChecked;
    std::string detail;
    std::string userCommand;
    std::string photoCommand;  // empty without a photo
    std::string reply;         // the first bytes of the answer to a failed request, if any
};

class ReportWriter {
public:
    ReportWriter() = default;
    ~ReportWriter();
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // Starts the file with its header row; returns a problem or "".
    std::string Open(const std::string& path);
    void Write(const UserOutcome& outcome);
    // Returns a problem (a write that failed on the way) or "".
    std::string Close();

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::string m_row;  // reused from row to row
};

// The rows of an earlier report that are not "done".
struct FailedRow {
    std::string pin;
    std::string serial;
    std::string state;
    std::string detail;
    std::string syncId;  // of its command ids
};

struct RetryReport {
    std::string problem;
    std::set<std::string> syncIds;     // of the command ids in its rows
    std::vector<std::string> serials;  // of the failed rows, each once, in order of appearance
};

// Reads `path` row by row, handing each failed row to `failed`.
RetryReport ReadRetryReport(const std::string& path,
                            const std::function<void(const FailedRow&)>& failed);

}  // namespace facepad::cli
