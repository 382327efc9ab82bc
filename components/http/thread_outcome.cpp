#include "thread_outcome.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

#include "per_thread.h"

namespace Osmer_Framework {
namespace http {

namespace {

// A thread that has used many clients keeps only the most recent ones.
constexpr std::size_t kClientsRememberedPerThread = 32;

struct Slot {
    std::uint64_t clientId;
    PostOutcome outcome;
};

// The calling thread's outcomes.
std::vector<Slot>& Outcomes()
{
    return PerThread<std::vector<Slot>>();
}

}  // namespace

std::uint64_t NewClientId()
{
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

void StoreOutcome(std::uint64_t clientId, PostOutcome outcome)
{
    std::vector<Slot>& t_outcomes = Outcomes();
    auto found = std::find_if(t_outcomes.begin(), t_outcomes.end(),
                              [clientId](const Slot& slot) { return slot.clientId == clientId; });
    if (found != t_outcomes.end()) {
        found->outcome = std::move(outcome);
        return;
    }
    if (t_outcomes.size() >= kClientsRememberedPerThread) {
        t_outcomes.erase(t_outcomes.begin());
    }
    t_outcomes.push_back(Slot{clientId, std::move(outcome)});
}

const PostOutcome& LoadOutcome(std::uint64_t clientId)
{
    // Never destroyed: a detached thread may still ask while the process exits.
    static const PostOutcome* const kNone = new PostOutcome();
    for (const Slot& slot : Outcomes()) {
        if (slot.clientId == clientId) {
            return slot.outcome;
        }
    }
    return *kNone;
}

}  // namespace http
}  // namespace Osmer_Framework
