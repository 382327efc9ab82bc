#include "thread_outcome.h"

#include <algorithm>
#include <atomic>
#include <utility>
#include <vector>

namespace Osmer_Framework {
namespace http {

namespace {

// A thread that has used many clients keeps only the most recent ones.
constexpr std::size_t kClientsRememberedPerThread = 32;

struct Slot {
    std::uint64_t clientId;
    PostOutcome outcome;
};

thread_local std::vector<Slot> t_outcomes;

}  // namespace

std::uint64_t NewClientId()
{
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

void StoreOutcome(std::uint64_t clientId, PostOutcome outcome)
{
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

PostOutcome LoadOutcome(std::uint64_t clientId)
{
    for (const Slot& slot : t_outcomes) {
        if (slot.clientId == clientId) {
            return slot.outcome;
        }
    }
    return PostOutcome{};
}

}  // namespace http
}  // namespace Osmer_Framework
