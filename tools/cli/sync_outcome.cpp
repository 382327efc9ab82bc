#include "sync_outcome.h"

#include <cstring>
#include <vector>

#include "facepad_protocol.h"

namespace facepad::cli {

namespace {

std::vector<Slot> SlotsOf(const SyncPlan& plan, std::size_t pair)
{
    if (plan.Kind() == SyncKind::AddUsers && plan.HasPhoto(pair)) {
        return {Slot::Record, Slot::Photo};
    }
    return {Slot::Record};
}

std::string DescribeCode(const std::string& code)
{
    return "code " + code + " (" + DescribeResultCode(code) + ")";
}

// A leaver who is not on the terminal is where the removal wanted them.
bool AlreadyRemoved(const SyncPlan& plan, RequestState state, const std::string& detail)
{
    return plan.Kind() == SyncKind::RemoveUsers && state.result == ResultState::Other &&
           detail == result_code::kUserUnknown;
}

// The state that one request alone decides, or null when it leaves the pair to the others.
const char* RequestFailure(RequestState state, const std::string& detail, const SyncEnding& ending,
                           std::string& why)
{
    switch (state.send) {
    case SendState::None:
    case SendState::Unsent:
        why = detail.empty() ? ending.notSentWhy : detail;
        return final_state::kNotSent;
    case SendState::Sending:
        why = "cut off while sending, so never sent again" +
              (detail.empty() ? std::string() : ": " + detail);
        return final_state::kUncertain;
    case SendState::Refused:
        why = detail;
        return final_state::kRejected;
    case SendState::Accepted:
        break;
    }
    if (state.result == ResultState::Other) {
        why = "terminal returned " + DescribeCode(detail);
        return final_state::kTerminalError;
    }
    return nullptr;
}

}  // namespace

std::string CommandId(const std::string& syncId, const SyncPlan& plan, std::size_t pair, Slot slot)
{
    return syncId + "." + plan.User(pair).Pin() + "." + plan.SlotName(slot);
}

UserOutcome PairOutcome(const SyncPlan& plan, const PairStates& states, const std::string& syncId,
                        std::size_t pair, const SyncEnding& ending)
{
    const bool photo = plan.Kind() == SyncKind::AddUsers && plan.HasPhoto(pair);
    UserOutcome o{plan.User(pair).Pin(),
                  plan.Terminal(pair),
                  final_state::kChecked,
                  "",
                  CommandId(syncId, plan, pair, Slot::Record),
                  photo ? CommandId(syncId, plan, pair, Slot::Photo) : std::string()};
    if (ending.dryRun) {
        return o;
    }
    bool allDone = true;
    for (const Slot slot : SlotsOf(plan, pair)) {
        const RequestState state = states.Get(pair, slot);
        const std::string detail = states.Detail(pair, slot);
        const std::string prefix = std::string(plan.SlotName(slot)) + ": ";
        if (AlreadyRemoved(plan, state, detail)) {
            o.detail = prefix + "was not on the terminal (" + DescribeCode(detail) + ")";
            continue;
        }
        std::string why;
        if (const char* failed = RequestFailure(state, detail, ending, why)) {
            o.state = failed;
            o.detail = prefix + why;
            return o;
        }
        allDone = allDone && state.result == ResultState::Done;
    }
    if (allDone) {
        o.state = final_state::kDone;
    } else if (ending.waitedSeconds >= 0) {
        o.state = final_state::kNoResult;
        o.detail = "no result within " + std::to_string(ending.waitedSeconds) + " s";
    } else {
        o.state = final_state::kSent;
        o.detail = "accepted; " + ending.notWaitedWhy;
    }
    return o;
}

bool IsFine(const char* state)
{
    for (const char* fine : {final_state::kDone, final_state::kSent, final_state::kChecked}) {
        if (std::strcmp(state, fine) == 0) {
            return true;
        }
    }
    return false;
}

}  // namespace facepad::cli
