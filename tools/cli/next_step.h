// The last line of a sync's summary: the exact command to run next (resume, retry, collect the
// results still unknown) or that there is nothing to do, built from the command line as given.
#pragma once

#include <cstddef>
#include <string>

#include "command_line.h"

namespace facepad::cli {

// How a sync ended, as far as the next step depends on it.
struct RunEnding {
    bool stopped = false;         // interrupted, gateway unreachable or down, journal failed
    bool journalFailed = false;   // the journal could not be written
    std::size_t failed = 0;       // pairs rejected, terminal-error or not-sent
    std::size_t unconfirmed = 0;  // pairs sent, no-result or uncertain
    bool waited = false;          // this run waited for results (--wait-results)
};

// "next: ..." for the operator.
std::string NextStep(const CommandLine& line, const RunEnding& ending);

}  // namespace facepad::cli
