#include "bulk_figure.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "CLS_VurodoroViri_Druvel.h"
#include "bare_posters.h"
#include "proc_stats.h"

namespace vvbench {

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;

// Well below the ~28,000 ephemeral ports of a default Linux: a pool that reuses its connections
// leaves a handful, one that does not leaves one per command.
constexpr std::size_t kMostNewTimeWait = 100;

struct BulkOutcome {
    double seconds = 0;
    std::size_t failures = 0;
    std::size_t newTimeWait = 0;
};

// `commandsOf(thread)` runs one thread's share and returns how many of its commands failed.
BulkOutcome RunThreads(int port, int threads, const std::function<std::size_t(int)>& commandsOf)
{
    const std::size_t timeWaitBefore = CountTimeWait(port);
    std::atomic<std::size_t> failures{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] { failures += commandsOf(t); });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    BulkOutcome outcome;
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.failures = failures.load();
    const std::size_t timeWaitAfter = CountTimeWait(port);
    outcome.newTimeWait = timeWaitAfter > timeWaitBefore ? timeWaitAfter - timeWaitBefore : 0;
    return outcome;
}

BulkOutcome RunAdapter(LoopbackGateway& gateway, const RunScale& scale)
{
    VurodoroViri_Druvel adapter;
    adapter.SetUrl("http://127.0.0.1");
    adapter.SetRequestPort(gateway.Port());
    const std::size_t share = scale.bulkCommands / static_cast<std::size_t>(scale.bulkThreads);
    return RunThreads(gateway.Port(), scale.bulkThreads, [&](int) {
        ParamMap user = RealisticUser();
        std::size_t failed = 0;
        for (std::size_t i = 0; i < share; ++i) {
            failed += adapter.AddUser(kCommandId, kSerial, user) ? 0 : 1;
        }
        return failed;
    });
}

BulkOutcome RunBare(LoopbackGateway& gateway, const RunScale& scale)
{
    const std::string body = UserBodyWithJsonC(RealisticUser());
    const std::size_t share = scale.bulkCommands / static_cast<std::size_t>(scale.bulkThreads);
    return RunThreads(gateway.Port(), scale.bulkThreads, [&](int) {
        BareKeepAlivePoster poster(gateway.Port());
        std::size_t failed = 0;
        for (std::size_t i = 0; i < share; ++i) {
            failed += poster.Post("/facepad/adduser", body) ? 0 : 1;
        }
        return failed;
    });
}

}  // namespace

void AddBulkRows(LoopbackGateway& gateway, const RunScale& scale, FigureTable& table)
{
    const BulkOutcome adapter = RunAdapter(gateway, scale);
    const BulkOutcome bare = RunBare(gateway, scale);
    const std::string what = std::to_string(scale.bulkCommands) + " AddUser, " +
                             std::to_string(scale.bulkThreads) + " threads";
    const auto rate = [](const BulkOutcome& run, const RunScale& s) {
        return Fixed(static_cast<double>(s.bulkCommands) / run.seconds, 0) + "/s";
    };
    table.Add({"Bulk: " + what + ", time",
               Fixed(adapter.seconds, 1) + " s (" + rate(adapter, scale) + ")",
               Fixed(bare.seconds, 1) + " s bare keep-alive (" + rate(bare, scale) + ")",
               Ratio(adapter.seconds / bare.seconds), "(reported)", Judge(false, true)});
    table.Add({"Bulk: failed commands", std::to_string(adapter.failures),
               std::to_string(bare.failures) + " bare", "-", "0",
               Judge(true, adapter.failures == 0)});
    table.Add({"Bulk: new TIME_WAIT sockets on the gateway port",
               std::to_string(adapter.newTimeWait), std::to_string(bare.newTimeWait) + " bare", "-",
               "<= " + std::to_string(kMostNewTimeWait),
               Judge(true, adapter.newTimeWait <= kMostNewTimeWait)});
}

}  // namespace vvbench
