#include "poll_record.h"

#include <mutex>

#include "VurodoroViri_Diagnostics.h"
#include "reply_list.h"

namespace Osmer_Framework {
namespace Face {

namespace {

struct PollStore {
    std::mutex mutex;
    VurodoroViri_PollRecord record;
};

// Never destroyed: a detached polling thread may still note a poll while the process exits.
PollStore& Store()
{
    static PollStore* store = new PollStore();
    return *store;
}

}  // namespace

void NotePoll(bool accepted, const std::string& reply)
{
    const bool nothingWaiting =
        accepted && FindReplyList(reply, kResultListKey).shape == ReplyListShape::Empty;
    VurodoroViri_LastExchange last = VurodoroViri_GetLastExchange();
    const bool mayHaveLost = last.delivery == VurodoroViri_Delivery::MayHaveBeenDone;
    if (mayHaveLost) {
        last.detail += last.detail.empty() ? "" : "; ";
        last.detail += "results the gateway handed out to this poll may have been lost";
    }
    PollStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    store.record.last = std::move(last);
    ++store.record.polls;
    store.record.mayHaveLostResults += mayHaveLost ? 1u : 0u;
    store.record.foundNothing += nothingWaiting ? 1u : 0u;
}

VurodoroViri_PollRecord VurodoroViri_GetPollRecord()
{
    PollStore& store = Store();
    std::lock_guard<std::mutex> lock(store.mutex);
    return store.record;
}

}  // namespace Face
}  // namespace Osmer_Framework
