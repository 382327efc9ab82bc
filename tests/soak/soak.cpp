// Soak: threads of mixed commands through adapters re-created every few thousand, against
// facepad-gateway-sim with faults on. From its request log: every accepted command carried out
// exactly once, none reached it twice; and resident memory stays flat once warm.
#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CLS_VurodoroViri_Druvel.h"
#include "child_process.h"

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;
using ParamMap = std::map<std::string, std::string>;

struct Settings {
    int threads = 8;
    int commands = 25000;  // per thread
    int recreateEvery = 3000;
    double failRate = 0.02;
    double dropRate = 0.02;
    int latencyMs = 1;
};

const char* const kTerminals[] = {"FACE-0001", "FACE-0002"};

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

// Command `n` of the mix; its id is unique across the run. True when the adapter accepted it.
// Those of kind 6 and 7 (status, available) carry no id.
bool SendOne(VurodoroViri_Druvel& adapter, int n, const std::string& id)
{
    const char* terminal = kTerminals[n % 2];
    ParamMap user{{"pin", id}, {"name", "Soak " + id}};
    ParamMap photo{{"pin", id}, {"type", "9"}, {"size", "4"}, {"content", "AAAA"}};
    const int kind = n % 8;
    return kind < 2    ? adapter.AddUser(id, terminal, user)
           : kind == 2 ? adapter.SetBiophoto(id, terminal, photo)
           : kind == 3 ? adapter.DelBiophoto(id, terminal, photo)
           : kind == 4 ? adapter.DelUser(id, terminal, user)
           : kind == 5 ? adapter.ControlDeviceFace(id, terminal, "1", "0", "0")
           : kind == 6 ? adapter.GetTerminalStatusFace(terminal)
                       : adapter.GetAvailableFace(user);
}

// Accepted or not, by command number: sized before the run, not to grow the memory watched.
using Tally = std::vector<unsigned char>;

std::string CommandId(std::size_t thread, std::size_t n)
{
    return std::to_string(thread) + "-" + std::to_string(n);
}

void RunThread(std::size_t index, int port, const Settings& settings, Tally& accepted,
               std::atomic<int>& warmedThreads, std::atomic<long>& warmRss)
{
    std::unique_ptr<VurodoroViri_Druvel> adapter;
    for (int n = 0; n < settings.commands; ++n) {
        if (n % settings.recreateEvery == 0) {
            adapter = std::make_unique<VurodoroViri_Druvel>();
            adapter->SetRequestPort(port);
        }
        if (n == settings.commands / 5 && ++warmedThreads == settings.threads) {
            warmRss = ResidentKilobytes();
        }
        accepted[static_cast<std::size_t>(n)] =
            SendOne(*adapter, n, CommandId(index, static_cast<std::size_t>(n))) ? 1 : 0;
    }
}

// Per command id: how often it was carried out (a 200, no injected fault) and arrived at all.
std::map<std::string, std::pair<int, int>> ReadRequestLog(const std::string& log)
{
    static const std::regex line(R"(POST /facepad/\w+ (\d{3}) in=\d+B (.*)$)");
    static const std::regex command(R"(command (\S+) for )");
    std::map<std::string, std::pair<int, int>> seen;
    std::istringstream lines(log);
    std::smatch match;
    std::smatch id;
    for (std::string text; std::getline(lines, text);) {
        if (!std::regex_search(text, match, line)) {
            continue;
        }
        const std::string rest = match[2];
        if (std::regex_search(rest, id, command)) {
            auto& entry = seen[id[1]];
            entry.first += (match[1] == "200" && rest.rfind("[fault:", 0) != 0) ? 1 : 0;
            ++entry.second;
        }
    }
    return seen;
}

// The simulator's port from its first line ("... listening on host:port"), or 0.
int PortOf(simtest::Child& simulator)
{
    const auto listening = simulator.ReadLine(std::chrono::seconds(10));
    return listening ? std::atoi(listening->c_str() + listening->rfind(':') + 1) : 0;
}

struct Run {
    std::vector<Tally> tallies;
    double seconds = 0;
    std::atomic<long> warmRss{0};
    long endRss = 0;
};

void RunThreads(int port, const Settings& settings, Run& run)
{
    const auto threadCount = static_cast<std::size_t>(settings.threads);
    run.tallies.assign(threadCount, Tally(static_cast<std::size_t>(settings.commands)));
    std::atomic<int> warmed{0};
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < threadCount; ++t) {
        threads.emplace_back(RunThread, t, port, std::cref(settings), std::ref(run.tallies[t]),
                             std::ref(warmed), std::ref(run.warmRss));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.endRss = ResidentKilobytes();
}

struct Findings {
    long accepted = 0;
    long acceptedWithoutRecord = 0;  // accepted, but not carried out exactly once
    long receivedTwice = 0;
};

// The run's tallies against the simulator's request log.
Findings Check(const Run& run, const std::string& requestLog)
{
    const auto seen = ReadRequestLog(requestLog);
    Findings findings;
    for (std::size_t t = 0; t < run.tallies.size(); ++t) {
        for (std::size_t n = 0; n < run.tallies[t].size(); ++n) {
            findings.accepted += run.tallies[t][n];
            const auto found = seen.find(CommandId(t, n));
            const bool carriedOutOnce = found != seen.end() && found->second.first == 1;
            findings.acceptedWithoutRecord +=
                run.tallies[t][n] == 1 && n % 8 < 6 && !carriedOutOnce ? 1 : 0;
        }
    }
    for (const auto& entry : seen) {
        findings.receivedTwice += entry.second.second > 1 ? 1 : 0;
    }
    return findings;
}

// Flat memory: a leak of even a few bytes per command would show as megabytes.
bool Report(const Settings& settings, const Run& run, const Findings& findings)
{
    const long calls = static_cast<long>(settings.threads) * settings.commands;
    const long growth = run.endRss - run.warmRss.load();
    std::printf(
        "soak: %ld commands from %d threads in %.1f s (%.0f/s); %ld accepted, %ld refused "
        "or failed (faults injected)\nsoak: accepted but not carried out exactly once: "
        "%ld; reached the gateway twice: %ld\nsoak: resident memory %ld KB after "
        "warm-up, %ld KB at the end (%+ld KB)\n",
        calls, settings.threads, run.seconds, static_cast<double>(calls) / run.seconds,
        findings.accepted, calls - findings.accepted, findings.acceptedWithoutRecord,
        findings.receivedTwice, run.warmRss.load(), run.endRss, growth);
    const bool passed =
        findings.acceptedWithoutRecord == 0 && findings.receivedTwice == 0 && growth < 8 * 1024;
    std::printf("soak: %s\n", passed ? "PASS" : "FAIL");
    return passed;
}

}  // namespace

int main(int argc, char** argv)
{
    Settings settings;
    CLI::App app{"Soak the adapter against the gateway simulator with faults switched on"};
    app.option_defaults()->always_capture_default();
    app.add_option("--threads", settings.threads)->check(CLI::Range(1, 64));
    app.add_option("--commands", settings.commands, "per thread")->check(CLI::PositiveNumber);
    app.add_option("--recreate-every", settings.recreateEvery, "commands per adapter life")
        ->check(CLI::PositiveNumber);
    app.add_option("--fail-rate", settings.failRate)->check(CLI::Range(0.0, 1.0));
    app.add_option("--drop-rate", settings.dropRate)->check(CLI::Range(0.0, 1.0));
    app.add_option("--latency", settings.latencyMs, "ms")->check(CLI::NonNegativeNumber);
    CLI11_PARSE(app, argc, argv);

    simtest::Child simulator({FACEPAD_SIM_BINARY, "--port", "0", "--terminal", kTerminals[0],
                              "--terminal", kTerminals[1], "--fail-rate",
                              std::to_string(settings.failRate), "--drop-rate",
                              std::to_string(settings.dropRate), "--latency",
                              std::to_string(settings.latencyMs), "--seed", "7"});
    const int port = PortOf(simulator);
    if (port <= 0) {
        std::fprintf(stderr, "soak: the simulator did not start: %s\n", simulator.Stderr().c_str());
        return 2;
    }
    Run run;
    RunThreads(port, settings, run);
    simulator.Signal(SIGTERM);
    simulator.WaitExit(std::chrono::seconds(10));
    return Report(settings, run, Check(run, simulator.Stderr())) ? 0 : 1;
}
