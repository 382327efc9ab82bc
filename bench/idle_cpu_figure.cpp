#include "idle_cpu_figure.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "CLS_VurodoroViri_Druvel.h"
#include "fresh_process.h"
#include "proc_stats.h"

namespace vvbench {

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;

constexpr double kMostCoreShare = 0.001;  // 0.1 % of one core

// The thread the adapter's constructor started: the one that was not there before.
int NewThread(const std::vector<int>& before)
{
    for (int id : ThreadIds()) {
        if (std::find(before.begin(), before.end(), id) == before.end()) {
            return id;
        }
    }
    return 0;
}

}  // namespace

int RunIdleCpuChild(int port, int seconds)
{
    const std::vector<int> threadsBefore = ThreadIds();
    VurodoroViri_Druvel adapter;
    adapter.SetUrl("http://127.0.0.1");
    adapter.SetRequestPort(port);
    const int poller = NewThread(threadsBefore);

    const auto wallStart = std::chrono::steady_clock::now();
    const std::uint64_t processStart = ProcessCpuNanoseconds();
    const std::uint64_t pollerStart = ThreadCpuNanoseconds(poller);
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    const std::uint64_t pollerCpu = ThreadCpuNanoseconds(poller) - pollerStart;
    const std::uint64_t processCpu = ProcessCpuNanoseconds() - processStart;
    const auto wall = std::chrono::steady_clock::now() - wallStart;

    Report("wall_ns", static_cast<double>(std::chrono::nanoseconds(wall).count()));
    Report("process_cpu_ns", static_cast<double>(processCpu));
    Report("poller_cpu_ns", static_cast<double>(pollerCpu));
    Report("poller_found", poller != 0 ? 1 : 0);
    return 0;
}

void AddIdleCpuRow(LoopbackGateway& gateway, const RunScale& scale, FigureTable& table)
{
    const std::size_t servedBefore = gateway.RequestsServed();
    Measurements idle =
        RunFreshProcess({"--child=idle-cpu", "--port=" + std::to_string(gateway.Port()),
                         "--seconds=" + std::to_string(scale.idleWall.count())});
    const std::size_t polls = gateway.RequestsServed() - servedBefore;
    if (idle.empty()) {
        table.Add({"Idle adapter CPU", "child process failed", "", "", "", false});
        return;
    }
    const double share = idle["process_cpu_ns"] / idle["wall_ns"];
    const std::string poller =
        idle["poller_found"] > 0 ? ", poller " + Fixed(idle["poller_cpu_ns"] / 1e6, 2) + " ms" : "";
    table.Add({"Idle adapter CPU, real 100 ms nap, " + std::to_string(polls) + " empty polls",
               Fixed(idle["process_cpu_ns"] / 1e6, 2) + " ms CPU" + poller,
               Fixed(idle["wall_ns"] / 1e9, 1) + " s wall, one core",
               Fixed(share * 100.0, 4) + " %", "<= 0.10 % of a core",
               Judge(scale.judged, share <= kMostCoreShare)});
}

}  // namespace vvbench
