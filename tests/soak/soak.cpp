// Soak: threads of mixed commands through real adapters against facepad-gateway-sim with injected
// server errors, dropped connections and latency; each thread re-creates its adapter every few
// thousand commands. Checks from the simulator's own request log that every command the adapter
// called accepted was carried out exactly once and that no command reached the gateway twice, and
// that resident memory stays flat once warm.
#include <CLI/CLI.hpp>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "CLS_VurodoroViri_Druvel.h"
#include "child_process.h"

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;
using ParamMap = std::map<std::string, std::string>;
using Clock = std::chrono::steady_clock;

struct Settings {
    int threads = 8;
    int commands = 25000;  // per thread
    int recreateEvery = 3000;
    double failRate = 0.02;
    double dropRate = 0.02;
    int latencyMs = 1;
};

// What one thread learned: which of its commands the adapter called accepted. Sized and written
// before the run, so that the tally itself does not grow the resident memory being watched.
struct ThreadTally {
    explicit ThreadTally(int commands) : accepted(static_cast<std::size_t>(commands), 0) {}
    std::vector<unsigned char> accepted;  // by command number
    long calls = 0;
    long acceptedOther = 0;  // accepted commands that carry no id (status, available)
};

std::string CommandId(std::size_t thread, std::size_t n)
{
    return std::to_string(thread) + "-" + std::to_string(n);
}

long ResidentKilobytes()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return -1;
}

const char* kTerminals[] = {"FACE-0001", "FACE-0002"};

// One command of the mix; the id is unique across the run. True when the adapter accepted it.
bool SendOne(VurodoroViri_Druvel& adapter, int kind, const std::string& id, const char* terminal)
{
    ParamMap user{{"pin", id}, {"name", "Soak " + id}};
    ParamMap photo{{"pin", id}, {"type", "9"}, {"size", "4"}, {"content", "AAAA"}};
    ParamMap none;
    switch (kind % 8) {
    case 0:
    case 1:
        return adapter.AddUser(id, terminal, user);
    case 2:
        return adapter.SetBiophoto(id, terminal, photo);
    case 3:
        return adapter.DelBiophoto(id, terminal, photo);
    case 4:
        return adapter.DelUser(id, terminal, user);
    case 5:
        return adapter.ControlDeviceFace(id, terminal, "1", "0", "0");
    case 6:
        return adapter.GetTerminalStatusFace(terminal);
    default:
        return adapter.GetAvailableFace(none);
    }
}

bool CarriesId(int kind)
{
    return kind % 8 < 6;
}

void RunThread(int index, int port, const Settings& settings, ThreadTally& tally,
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
        const std::string id =
            CommandId(static_cast<std::size_t>(index), static_cast<std::size_t>(n));
        const bool ok = SendOne(*adapter, n, id, kTerminals[n % 2]);
        ++tally.calls;
        if (ok && CarriesId(n)) {
            tally.accepted[static_cast<std::size_t>(n)] = 1;
        } else if (ok) {
            ++tally.acceptedOther;
        }
    }
}

// Per command id: how often the simulator carried it out and how often it saw it at all.
struct Seen {
    int carriedOut = 0;
    int received = 0;
};

std::map<std::string, Seen> ReadRequestLog(const std::string& log)
{
    static const std::regex line(R"(POST /facepad/\w+ (\d{3}) in=\d+B (.*)$)");
    static const std::regex command(R"(command (\S+) for )");
    std::map<std::string, Seen> seen;
    std::istringstream lines(log);
    std::string text;
    std::smatch match;
    std::smatch id;
    while (std::getline(lines, text)) {
        if (!std::regex_search(text, match, line)) {
            continue;
        }
        const std::string rest = match[2];
        if (!std::regex_search(rest, id, command)) {
            continue;
        }
        Seen& entry = seen[id[1]];
        ++entry.received;
        entry.carriedOut += (match[1] == "200" && rest.rfind("[fault:", 0) != 0) ? 1 : 0;
    }
    return seen;
}

std::vector<std::string> SimulatorCommand(const Settings& settings)
{
    std::vector<std::string> argv;
    argv.insert(argv.end(),
                {FACEPAD_SIM_BINARY, "--port", "0", "--terminal", kTerminals[0], "--terminal",
                 kTerminals[1], "--fail-rate", std::to_string(settings.failRate), "--drop-rate",
                 std::to_string(settings.dropRate), "--latency", std::to_string(settings.latencyMs),
                 "--seed", "7"});
    return argv;
}

int ReadPort(simtest::Child& simulator)
{
    const auto line = simulator.ReadLine(std::chrono::seconds(10));
    const auto colon = line ? line->rfind(':') : std::string::npos;
    return colon == std::string::npos ? 0 : std::stoi(line->substr(colon + 1));
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

    simtest::Child simulator(SimulatorCommand(settings));
    const int port = ReadPort(simulator);
    if (port <= 0) {
        std::fprintf(stderr, "soak: the simulator did not start: %s\n", simulator.Stderr().c_str());
        return 2;
    }

    std::vector<ThreadTally> tallies(static_cast<std::size_t>(settings.threads),
                                     ThreadTally(settings.commands));
    std::atomic<int> warmed{0};
    std::atomic<long> warmRss{0};
    const auto start = Clock::now();
    std::vector<std::thread> threads;
    for (int t = 0; t < settings.threads; ++t) {
        threads.emplace_back(RunThread, t, port, std::cref(settings),
                             std::ref(tallies[static_cast<std::size_t>(t)]), std::ref(warmed),
                             std::ref(warmRss));
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    const long endRss = ResidentKilobytes();
    simulator.Signal(SIGTERM);
    simulator.WaitExit(std::chrono::seconds(10));

    const auto seen = ReadRequestLog(simulator.Stderr());
    long calls = 0;
    long accepted = 0;
    long acceptedWithoutRecord = 0;
    for (std::size_t t = 0; t < tallies.size(); ++t) {
        calls += tallies[t].calls;
        accepted += tallies[t].acceptedOther;
        for (std::size_t n = 0; n < tallies[t].accepted.size(); ++n) {
            if (tallies[t].accepted[n] == 0) {
                continue;
            }
            ++accepted;
            const auto found = seen.find(CommandId(t, n));
            acceptedWithoutRecord += (found == seen.end() || found->second.carriedOut != 1) ? 1 : 0;
        }
    }
    long receivedTwice = 0;
    for (const auto& entry : seen) {
        receivedTwice += entry.second.received > 1 ? 1 : 0;
    }
    const long growth = endRss - warmRss.load();
    std::printf(
        "soak: %ld commands from %d threads in %.1f s (%.0f/s); %ld accepted, %ld refused "
        "or failed (faults injected)\n",
        calls, settings.threads, seconds, static_cast<double>(calls) / seconds, accepted,
        calls - accepted);
    std::printf(
        "soak: accepted but not carried out exactly once: %ld; reached the gateway twice: "
        "%ld\n",
        acceptedWithoutRecord, receivedTwice);
    std::printf("soak: resident memory %ld KB after warm-up, %ld KB at the end (%+ld KB)\n",
                warmRss.load(), endRss, growth);
    // Flat: a leak of even a few bytes per command would show as megabytes here.
    const bool passed = acceptedWithoutRecord == 0 && receivedTwice == 0 && growth < 8 * 1024;
    std::printf("soak: %s\n", passed ? "PASS" : "FAIL");
    return passed ? 0 : 1;
}
