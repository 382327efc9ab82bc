#include "sync_outcome.h"

#include <cstring>
#include <vector>

#include "facepad_protocol.h"

namespace facepad::cli {

namespace {

// The page a proxy answered with is kept for --json and the report, bounded.
constexpr std::size_t kLongestReply = 1024;

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

// What one request of the pair is known to have come to.
struct Request {
    RequestState state;
    SendNote note;
    std::string code;  // the result code when it is not 0
};

// A leaver who is not on the terminal is where the removal wanted them.
bool AlreadyRemoved(const SyncPlan& plan, const Request& r)
{
    return plan.Kind() == SyncKind::RemoveUsers && r.state.result == ResultState::Other &&
           r.code == result_code::kUserUnknown;
}

// What the send said, when it said more than "accepted": kept beside a result that came anyway.
std::string SendTrouble(const Request& r)
{
    if (r.state.send == SendState::Accepted || r.state.send == SendState::None) {
        return std::string();
    }
    return r.note.detail.empty() ? "cut off while sending" : r.note.detail;
}

// The state that one request alone decides, or null when it leaves the pair to the others.
// A result decides first: whatever the send reported, the terminal carried the request out.
const char* RequestFailure(const Request& r, const SyncEnding& ending, std::string& why)
{
    if (r.state.result == ResultState::Other) {
        const std::string trouble = SendTrouble(r);
        why = "terminal returned " + DescribeCode(r.code) +
              (trouble.empty() ? "" : " (sending reported: " + trouble + ")");
        return final_state::kTerminalError;
    }
    if (r.state.result == ResultState::Done) {
        return nullptr;
    }
    switch (r.state.send) {
    case SendState::None:
    case SendState::Unsent:
        why = r.note.detail.empty() ? ending.notSentWhy : r.note.detail;
        return final_state::kNotSent;
    case SendState::Sending:
    case SendState::Uncertain:
        why = r.note.detail.empty() ? "sent, but its answer was never recorded (the run ended, "
                                      "or its journal failed, while it was in flight)"
                                    : r.note.detail;
        why += "; not sent again until a result tells";
        return final_state::kUncertain;
    case SendState::Refused:
        why = r.note.detail;
        return final_state::kRejected;
    case SendState::Accepted:
        break;
    }
    return nullptr;
}

std::string Joined(const std::string& a, const std::string& b)
{
    return a.empty() ? b : b.empty() ? a : a + "; " + b;
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
                  photo ? CommandId(syncId, plan, pair, Slot::Photo) : std::string(),
                  ""};
    if (ending.dryRun) {
        return o;
    }
    bool allDone = true;
    std::string notes;
    for (const Slot slot : SlotsOf(plan, pair)) {
        const Request r{states.Get(pair, slot), states.Note(pair, slot),
                        states.ResultCode(pair, slot)};
        const std::string prefix = std::string(plan.SlotName(slot)) + ": ";
        const std::string trouble = SendTrouble(r);
        if (AlreadyRemoved(plan, r)) {
            notes =
                Joined(notes, prefix + "was not on the terminal (" + DescribeCode(r.code) + ")");
            continue;
        }
        std::string why;
        if (const char* failed = RequestFailure(r, ending, why)) {
            o.state = failed;
            o.detail = prefix + why;
            o.reply = r.note.reply.substr(0, kLongestReply);
            return o;
        }
        if (r.state.result == ResultState::Done && !trouble.empty()) {
            notes =
                Joined(notes, prefix + "its result 0 came, though sending reported: " + trouble);
        }
        if (r.state.result != ResultState::Done) {
            allDone = false;
            notes = Joined(notes, r.note.detail);  // an earlier sync's, for a retry's held pairs
        }
    }
    if (allDone) {
        o.state = final_state::kDone;
        o.detail = notes;
    } else if (ending.waitedSeconds >= 0) {
        o.state = final_state::kNoResult;
        o.detail = Joined("no result within " + std::to_string(ending.waitedSeconds) + " s", notes);
    } else {
        o.state = final_state::kSent;
        o.detail = Joined("accepted; " + ending.notWaitedWhy, notes);
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

bool IsUnconfirmed(const std::string& state)
{
    return state == final_state::kSent || state == final_state::kNoResult ||
           state == final_state::kUncertain;
}

}  // namespace facepad::cli
