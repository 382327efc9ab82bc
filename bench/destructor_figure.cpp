#include "destructor_figure.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>

#include "CLS_VurodoroViri_Druvel.h"
#include "VurodoroViri_TestAccess.h"

namespace vvbench {

namespace {

using Clock = std::chrono::steady_clock;
using Osmer_Framework::Face::VurodoroViri_Druvel;
using Osmer_Framework::Face::VurodoroViri_TestAccess;

constexpr const char* kResultPath = "facepad/getresult";
constexpr auto kShortNap = std::chrono::milliseconds(1);  // first poll 80 naps after construction
constexpr auto kRealNap = std::chrono::milliseconds(100);
constexpr auto kMostWaitForPoll = std::chrono::seconds(10);
constexpr double kMostMillis = 250.0;

std::unique_ptr<VurodoroViri_Druvel> AdapterAt(const LoopbackGateway& gateway)
{
    auto adapter = std::make_unique<VurodoroViri_Druvel>();
    adapter->SetUrl("http://127.0.0.1");
    adapter->SetRequestPort(gateway.Port());
    return adapter;
}

double MillisToDelete(std::unique_ptr<VurodoroViri_Druvel> adapter)
{
    const auto start = Clock::now();
    adapter.reset();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

bool WaitUntilHanging(const LoopbackGateway& gateway)
{
    const auto deadline = Clock::now() + kMostWaitForPoll;
    while (gateway.HangingNow() == 0) {
        if (Clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// Worst of several rounds: a destructor that is usually quick but sometimes waits out a nap or a
// time-out shows up here.
double WorstWhileHanging(LoopbackGateway& gateway, int rounds, bool& allHung)
{
    double worst = 0;
    gateway.SetHanging(kResultPath, true);
    for (int round = 0; round < rounds; ++round) {
        auto adapter = AdapterAt(gateway);
        allHung = WaitUntilHanging(gateway) && allHung;
        worst = std::max(worst, MillisToDelete(std::move(adapter)));
        gateway.ReleaseHanging();
    }
    gateway.SetHanging(kResultPath, false);
    return worst;
}

double WorstWhileNapping(const LoopbackGateway& gateway, int rounds)
{
    double worst = 0;
    for (int round = 0; round < rounds; ++round) {
        auto adapter = AdapterAt(gateway);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        worst = std::max(worst, MillisToDelete(std::move(adapter)));
    }
    return worst;
}

}  // namespace

void AddDestructorRow(LoopbackGateway& gateway, const RunScale& scale, FigureTable& table)
{
    VurodoroViri_TestAccess::SetNapLength(kShortNap);
    bool allHung = true;
    const double hanging = WorstWhileHanging(gateway, scale.destructorRounds, allHung);
    const double napping = WorstWhileNapping(gateway, scale.destructorRounds);
    VurodoroViri_TestAccess::SetNapLength(kRealNap);
    table.Add({"Destructor while getresult hangs (worst of " +
                   std::to_string(scale.destructorRounds) + ")",
               Fixed(hanging, 2) + " ms", Fixed(napping, 2) + " ms while napping",
               Ratio(hanging / std::max(napping, 0.001)), "<= 250 ms",
               allHung ? Judge(scale.judged, hanging <= kMostMillis) : std::optional<bool>(false)});
}

}  // namespace vvbench
