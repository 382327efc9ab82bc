// The final state of one user on one terminal, read from what the sync knows of its requests: the
// result when one came (proof of what the terminal did), else what the send tells.
#pragma once

#include <cstddef>
#include <string>

#include "pair_states.h"
#include "sync_plan.h"
#include "sync_report.h"

namespace facepad::cli {

// How the run ended, as far as the pairs' states cannot tell.
struct SyncEnding {
    bool dryRun = false;
    int waitedSeconds = -1;    // the whole --wait-results time was waited; -1 when it was not
    std::string notWaitedWhy;  // why an accepted request's result was not awaited
    std::string notSentWhy;    // why a pair never tried was not sent
};

// "SYNCID.PIN.KIND": the sync id, the user's pin and the request's kind.
std::string CommandId(const std::string& syncId, const SyncPlan& plan, std::size_t pair, Slot slot);
UserOutcome PairOutcome(const SyncPlan& plan, const PairStates& states, const std::string& syncId,
                        std::size_t pair, const SyncEnding& ending);
// done, sent, checked: nothing left to do for the pair.
bool IsFine(const char* state);
// sent, no-result, uncertain: it went out (or may have) and its result is still unknown.
bool IsUnconfirmed(const std::string& state);

}  // namespace facepad::cli
