#include "bulk_figure.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>
#include <vector>

#include "CLS_VurodoroViri_Druvel.h"
#include "bare_posters.h"
#include "loopback_gateway.h"
#include "proc_stats.h"

namespace vvbench {

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;

// Well below the ~28,000 ephemeral ports of a default Linux: a pool that reuses its connections
// leaves a handful, one that does not leaves one per command.
constexpr std::size_t kMostNewTimeWait = 100;

// The two sides take turns in this many rounds, so that load from other processes, which moves
// absolute times by up to 2x over a minute, falls on both alike.
constexpr int kRounds = 10;
// Longer than one side's turn: the side waiting its turn keeps its connections.
constexpr int kGatewayKeepAliveSeconds = 30;

struct BulkOutcome {
    double seconds = 0;
    std::size_t failures = 0;
    std::size_t newTimeWait = 0;  // over this side's turns only
};

// Runs `commands` commands spread over `threads` threads, `sendOne(thread)` each, and adds the
// time, the failures and the TIME_WAIT sockets that appeared meanwhile to `outcome`.
void RunTurn(int port, int threads, std::size_t commands, const std::function<bool(int)>& sendOne,
             BulkOutcome& outcome)
{
    const std::size_t timeWaitBefore = CountTimeWait(port);
    const std::size_t share = commands / static_cast<std::size_t>(threads);
    std::atomic<std::size_t> failures{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (std::size_t i = 0; i < share; ++i) {
                failures += sendOne(t) ? 0 : 1;
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    outcome.seconds +=
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.failures += failures.load();
    const std::size_t timeWaitAfter = CountTimeWait(port);
    outcome.newTimeWait += timeWaitAfter > timeWaitBefore ? timeWaitAfter - timeWaitBefore : 0;
}

}  // namespace

void AddBulkRows(const RunScale& scale, FigureTable& table)
{
    LoopbackGateway gateway(kGatewayKeepAliveSeconds);
    const int port = gateway.Port();
    VurodoroViri_Druvel adapter;
    adapter.SetUrl("http://127.0.0.1");
    adapter.SetRequestPort(port);
    std::vector<ParamMap> users(static_cast<std::size_t>(scale.bulkThreads), RealisticUser());
    std::vector<std::unique_ptr<BareKeepAlivePoster>> posters;
    for (int t = 0; t < scale.bulkThreads; ++t) {
        posters.push_back(std::make_unique<BareKeepAlivePoster>(port));
    }
    const std::string body = UserBodyWithJsonC(RealisticUser());

    BulkOutcome adapterRun;
    BulkOutcome bareRun;
    const std::size_t perTurn = scale.bulkCommands / kRounds;
    for (int round = 0; round < kRounds; ++round) {
        RunTurn(
            port, scale.bulkThreads, perTurn,
            [&](int t) {
                return adapter.AddUser(kCommandId, kSerial, users[static_cast<std::size_t>(t)]);
            },
            adapterRun);
        RunTurn(
            port, scale.bulkThreads, perTurn,
            [&](int t) {
                return posters[static_cast<std::size_t>(t)]->Post("/facepad/adduser", body);
            },
            bareRun);
    }

    const std::string what = std::to_string(scale.bulkCommands) + " AddUser, " +
                             std::to_string(scale.bulkThreads) + " threads";
    const auto rate = [&](const BulkOutcome& run) {
        return Fixed(static_cast<double>(scale.bulkCommands) / run.seconds, 0) + "/s";
    };
    table.Add({"Bulk: " + what + ", time",
               Fixed(adapterRun.seconds, 1) + " s (" + rate(adapterRun) + ")",
               Fixed(bareRun.seconds, 1) + " s bare keep-alive (" + rate(bareRun) + ")",
               Ratio(adapterRun.seconds / bareRun.seconds), "(reported)", Judge(false, true)});
    table.Add({"Bulk: failed commands", std::to_string(adapterRun.failures),
               std::to_string(bareRun.failures) + " bare", "-", "0",
               Judge(true, adapterRun.failures == 0)});
    table.Add({"Bulk: new TIME_WAIT sockets on the gateway port",
               std::to_string(adapterRun.newTimeWait),
               std::to_string(bareRun.newTimeWait) + " bare", "-",
               "<= " + std::to_string(kMostNewTimeWait),
               Judge(true, adapterRun.newTimeWait <= kMostNewTimeWait)});
}

}  // namespace vvbench
