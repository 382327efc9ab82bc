// Figures of the adapter's connections and threads: how long `delete` takes while the polling
// thread's request hangs at the gateway, and a long run of AddUser from several host threads that
// must lose nothing and leave no trail of TIME_WAIT sockets.
#include <atomic>
#include <deque>

#include "VurodoroViri_TestAccess.h"
#include "bench.h"

namespace vvbench {

namespace {

using Clock = std::chrono::steady_clock;
using Osmer_Framework::Face::VurodoroViri_TestAccess;

constexpr const char* kResultPath = "facepad/getresult";
// Well below the ~28,000 ephemeral ports of a default Linux: a pool that reuses its connections
// leaves a handful, one that does not leaves one per command.
constexpr std::size_t kMostNewTimeWait = 100;
// The two sides take turns in this many rounds, so that load from other processes, which moves
// absolute times by up to 2x over a minute, falls on both alike.
constexpr int kBulkRounds = 10;
constexpr std::size_t kBulkThreads = 4;

double MillisToDelete(std::unique_ptr<VurodoroViri_Druvel> adapter)
{
    const auto start = Clock::now();
    adapter.reset();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

// TCP sockets in TIME_WAIT (state 6) on `port`, from the kernel's IPv4 and IPv6 tables, whose
// rows read "slot: local-address:port remote-address:port state ..." in hexadecimal.
std::size_t CountTimeWait(int port)
{
    std::size_t count = 0;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        std::ifstream file(table);
        for (std::string row; std::getline(file, row);) {
            unsigned local = 0, remote = 0, state = 0;
            if (std::sscanf(row.c_str(), "%*s %*[0-9A-F]:%x %*[0-9A-F]:%x %x", &local, &remote,
                            &state) == 3) {
                count +=
                    state == 6 && (local == unsigned(port) || remote == unsigned(port)) ? 1 : 0;
            }
        }
    }
    return count;
}

struct BulkOutcome {
    double seconds = 0;
    std::size_t failures = 0;
    std::size_t newTimeWait = 0;  // over this side's turns only
};

// `commands` spread over the threads, `sendOne(thread)` each.
void RunTurn(int port, std::size_t commands, const std::function<bool(std::size_t)>& sendOne,
             BulkOutcome& outcome)
{
    const std::size_t timeWaitBefore = CountTimeWait(port);
    std::atomic<std::size_t> failures{0};
    const auto start = Clock::now();
    std::vector<std::thread> workers;
    for (std::size_t t = 0; t < kBulkThreads; ++t) {
        workers.emplace_back([&, t] {
            for (std::size_t i = 0; i < commands / kBulkThreads; ++i) {
                failures += sendOne(t) ? 0 : 1;
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    outcome.seconds += std::chrono::duration<double>(Clock::now() - start).count();
    outcome.failures += failures.load();
    const std::size_t timeWaitAfter = CountTimeWait(port);
    outcome.newTimeWait += timeWaitAfter > timeWaitBefore ? timeWaitAfter - timeWaitBefore : 0;
}

}  // namespace

// The nap is shortened so that the first poll leaves at once. Worst of several rounds: a
// destructor that is usually quick but sometimes waits out a nap or a time-out shows up here.
void AddDestructorRow(TestGateway& gateway, const RunScale& scale, FigureTable& table)
{
    VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(1));
    bool allHung = true;
    const auto worstToDelete = [&](bool hang) {
        gateway.SetReply(kResultPath, {200, hang ? "" : "result=[]", {}, hang});
        double worst = 0;
        for (int round = 0; round < scale.destructorRounds; ++round) {
            auto adapter = AdapterAt(gateway.Port());
            if (hang) {
                allHung = gateway.WaitForHanging(1) && allHung;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            worst = std::max(worst, MillisToDelete(std::move(adapter)));
            gateway.ReleaseHanging();
        }
        return worst;
    };
    const double hanging = worstToDelete(true);
    const double napping = worstToDelete(false);
    VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(100));
    table.push_back({"Destructor while getresult hangs (worst of " +
                         std::to_string(scale.destructorRounds) + ")",
                     Fixed(hanging, 2) + " ms", Fixed(napping, 2) + " ms while napping",
                     Ratio(hanging / std::max(napping, 0.001)), "<= 250 ms",
                     allHung ? Judge(scale.judged, hanging <= 250.0) : "FAIL"});
}

// Against a gateway of its own that keeps idle connections longer than one side's turn, so that
// any TIME_WAIT socket comes from a client that dropped a connection.
void AddBulkRows(const RunScale& scale, FigureTable& table)
{
    TestGateway gateway("127.0.0.1", vvtest::GatewayOptions{30, 32});
    gateway.SetRecording(false);
    gateway.SetReply(kResultPath, {200, "result=[]"});
    const int port = gateway.Port();
    auto adapter = AdapterAt(port);
    std::vector<ParamMap> users(kBulkThreads, RealisticUser());
    std::deque<BarePoster> posters;
    for (std::size_t t = 0; t < kBulkThreads; ++t) {
        posters.emplace_back(port);
    }
    const std::string body = BodyWithJsonC(RealisticUser());
    const std::function<bool(std::size_t)> sides[2] = {
        [&](std::size_t t) { return adapter->AddUser(kCommandId, kSerial, users[t]); },
        [&](std::size_t t) { return posters[t].Post("/facepad/adduser", body); }};
    BulkOutcome adapterRun;
    BulkOutcome bareRun;
    for (int round = 0; round < kBulkRounds; ++round) {
        RunTurn(port, scale.bulkCommands / kBulkRounds, sides[0], adapterRun);
        RunTurn(port, scale.bulkCommands / kBulkRounds, sides[1], bareRun);
    }
    const auto rate = [&](const BulkOutcome& run) {
        return Fixed(static_cast<double>(scale.bulkCommands) / run.seconds, 0) + "/s";
    };
    table.push_back({"Bulk: " + std::to_string(scale.bulkCommands) + " AddUser, " +
                         std::to_string(kBulkThreads) + " threads, time",
                     Fixed(adapterRun.seconds, 1) + " s (" + rate(adapterRun) + ")",
                     Fixed(bareRun.seconds, 1) + " s bare keep-alive (" + rate(bareRun) + ")",
                     Ratio(adapterRun.seconds / bareRun.seconds), "(reported)",
                     Judge(false, true)});
    table.push_back({"Bulk: failed commands", std::to_string(adapterRun.failures),
                     std::to_string(bareRun.failures) + " bare", "-", "0",
                     Judge(true, adapterRun.failures == 0)});
    table.push_back({"Bulk: new TIME_WAIT sockets on the gateway port",
                     std::to_string(adapterRun.newTimeWait),
                     std::to_string(bareRun.newTimeWait) + " bare", "-",
                     "<= " + std::to_string(kMostNewTimeWait),
                     Judge(true, adapterRun.newTimeWait <= kMostNewTimeWait)});
}

}  // namespace vvbench
