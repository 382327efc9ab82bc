#include "thread_outcome.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "per_thread.h"

namespace Osmer_Framework {
namespace http {

namespace {

// A thread that has used many clients keeps only the most recent ones.
constexpr std::size_t kClientsRememberedPerThread = 32;

struct Slot {
    std::uint64_t clientId;
    int status;
};

// The calling thread's statuses.
std::vector<Slot>& Statuses()
{
    return PerThread<std::vector<Slot>>();
}

}  // namespace

std::uint64_t NewClientId()
{
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1, std::memory_order_relaxed);
}

void StoreStatus(std::uint64_t clientId, int status)
{
    std::vector<Slot>& t_statuses = Statuses();
    auto found = std::find_if(t_statuses.begin(), t_statuses.end(),
                              [clientId](const Slot& slot) { return slot.clientId == clientId; });
    if (found != t_statuses.end()) {
        found->status = status;
        return;
    }
    if (t_statuses.size() >= kClientsRememberedPerThread) {
        t_statuses.erase(t_statuses.begin());
    }
    t_statuses.push_back(Slot{clientId, status});
}

int LoadStatus(std::uint64_t clientId)
{
    for (const Slot& slot : Statuses()) {
        if (slot.clientId == clientId) {
            return slot.status;
        }
    }
    return 0;
}

}  // namespace http
}  // namespace Osmer_Framework
