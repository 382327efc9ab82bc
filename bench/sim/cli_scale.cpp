// facepad-cli-scale: facepad-cli at the size of a site. Writes a users file (every 20th user with a
// 30 KB JPEG, names with accents, quotes and commas, cards with leading zeros), then either checks
// it with --dry-run, or syncs it onto a simulator with its state on disk, and prints the figures:
// wall time, the tool's peak resident memory, the time to its first request, the final states.
// Exits 1 when a figure misses its target:
//   peak resident memory of the tool          <= 300 MB
//   first request after the start             <= 2 s
//   every user on every terminal in a final state the tool knows (done or terminal-error)
//   the whole sync                            <= --target-seconds, when given
// With --interrupt-after S the sync gets SIGINT S seconds after its first request instead:
//   from the signal to the end, report written  <= 10 s, exit 130, a row for every pair
// With --compare-wait the same sync runs twice on fresh simulators, without --wait-results and
// with it, to price the wait:
//   the run that waits / the run that does not  <= 1.3, every pair done
//
//   facepad-cli-scale CLI SIMULATOR DIR [--users N] [--terminals T] [--dry-run]
//                     [--latency MS] [--jobs J] [--target-seconds S] [--interrupt-after S]
//                     [--compare-wait]
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "child_program.h"

namespace {

using facepad::bench::ChildProgram;
using facepad::bench::Finished;
using facepad::bench::RunProgram;

constexpr double kMemoryLimitMb = 300.0;
constexpr double kFirstRequestLimitS = 2.0;
constexpr double kFinishLimitS = 10.0;
constexpr double kWaitCostLimit = 1.3;
constexpr int kPhotoEvery = 20;
constexpr std::size_t kPhotoBytes = 30 * 1024;

struct Settings {
    std::string cli;
    std::string simulator;
    std::string directory;
    int users = 5000;
    int terminals = 1;
    bool dryRun = false;
    int latencyMs = 0;
    int jobs = 8;
    double targetSeconds = 0.0;   // 0: none
    double interruptAfter = 0.0;  // 0: let the sync end by itself
    bool wait = true;             // --wait-results
    bool compareWait = false;
};

std::string Serial(int i)
{
    char serial[16];
    std::snprintf(serial, sizeof serial, "FACE-%04d", i);
    return serial;
}

// The users file of `users` users, written once per size and kept for later runs.
std::string Fixture(const Settings& settings)
{
    const std::string path =
        settings.directory + "/users-" + std::to_string(settings.users) + ".csv";
    if (std::ifstream(path)) {
        return path;
    }
    mkdir((settings.directory + "/photos").c_str(), 0755);
    std::mt19937 random(11);
    std::uniform_int_distribution<int> byte(0, 255);
    std::ofstream csv(path + ".partial");
    csv << "pin,name,pri,passwd,verify,card,vicecard,photo\n";
    for (int i = 1; i <= settings.users; ++i) {
        std::string photo;
        if (i % kPhotoEvery == 0) {
            photo = "photos/" + std::to_string(i) + ".jpg";
            std::string bytes = "\xFF\xD8\xFF\xE0";
            while (bytes.size() < kPhotoBytes) {
                bytes += static_cast<char>(byte(random));
            }
            std::ofstream(settings.directory + "/" + photo, std::ios::binary) << bytes;
        }
        const std::string name = i % 7 == 0
                                     ? "\"Renée \"\"RJ\"\" O'Brien " + std::to_string(i) + "\""
                                     : "\"Zoë Müller, " + std::to_string(i) + "\"";
        csv << i << ',' << name << ",0,,0,000" << i << ",," << photo << '\n';
    }
    csv.close();
    std::rename((path + ".partial").c_str(), path.c_str());
    return path;
}

std::vector<std::string> SyncArgs(const Settings& settings, const std::string& users, int port)
{
    std::vector<std::string> args = {settings.cli,
                                     "--port",
                                     std::to_string(port),
                                     "sync-users",
                                     users,
                                     "--jobs",
                                     std::to_string(settings.jobs),
                                     "--no-progress",
                                     "--report",
                                     settings.directory + "/report.csv"};
    for (int t = 1; t <= settings.terminals; ++t) {
        args.insert(args.end(), {"-t", Serial(t)});
    }
    if (settings.dryRun || settings.wait) {
        args.push_back(settings.dryRun ? "--dry-run" : "--wait-results=3600");
    }
    return args;
}

// The report's states and how many pairs are in each.
std::map<std::string, long> States(const std::string& report)
{
    std::map<std::string, long> states;
    std::ifstream in(report);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        // pin,terminal,state,...: the pins and serials here hold no quoted commas
        const std::size_t first = line.find(',');
        const std::size_t second = line.find(',', first + 1);
        const std::size_t third = line.find(',', second + 1);
        ++states[line.substr(second + 1, third - second - 1)];
    }
    return states;
}

bool Report(const char* figure, double value, const char* unit, bool met)
{
    std::printf("%-52s %10.2f %-3s %s\n", figure, value, unit, met ? "ok" : "MISSED");
    return met;
}

// The time from `started` until the simulator's journal holds its first adduser.
double FirstRequestSeconds(int port, std::chrono::steady_clock::time_point started,
                           ChildProgram& tool)
{
    httplib::Client client("127.0.0.1", port);
    for (;;) {
        const auto reply = client.Get("/_sim/journal?path=facepad/adduser");
        if (reply && reply->status == 200 && reply->body.find("\"seq\"") != std::string::npos) {
            return std::chrono::duration<double>(std::chrono::steady_clock::now() - started)
                .count();
        }
        if (std::chrono::steady_clock::now() - started > std::chrono::minutes(5)) {
            tool.Kill(SIGKILL);
            throw std::runtime_error("no request within 5 minutes");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

class Simulator {
public:
    explicit Simulator(const Settings& settings)
        : m_portFile(settings.directory + "/sim.port"), m_program(Args(settings, m_portFile))
    {
        m_port = m_program.WaitForPort(m_portFile);
        if (m_port == 0) {
            throw std::runtime_error("the simulator did not start");
        }
    }
    int Port() const { return m_port; }
    double PeakMemoryMb() const { return m_program.PeakMemoryMb(); }

private:
    static std::vector<std::string> Args(const Settings& settings, const std::string& portFile)
    {
        const std::string state = settings.directory + "/scale.db";
        for (const std::string& file : {portFile, state, state + "-wal", state + "-shm"}) {
            std::remove(file.c_str());
        }
        std::vector<std::string> args = {settings.simulator,
                                         "--port",
                                         "0",
                                         "--port-file",
                                         portFile,
                                         "--state",
                                         state,
                                         "--quiet",
                                         "--latency",
                                         std::to_string(settings.latencyMs)};
        for (int t = 1; t <= settings.terminals; ++t) {
            args.insert(args.end(), {"--terminal", Serial(t)});
        }
        return args;
    }

    std::string m_portFile;
    ChildProgram m_program;
    int m_port = 0;
};

int DryRun(const Settings& settings, const std::string& users)
{
    const Finished run = RunProgram(SyncArgs(settings, users, 1));
    std::printf("%d users x %d terminals, --dry-run: exit %d\n", settings.users, settings.terminals,
                run.exitCode);
    bool met = Report("checked in", run.seconds, "s", run.exitCode == 0);
    met &= Report("peak resident memory of facepad-cli", run.peakMb, "MB",
                  run.peakMb <= kMemoryLimitMb);
    return met ? 0 : 1;
}

long Pairs(const std::map<std::string, long>& states)
{
    long pairs = 0;
    for (const auto& entry : states) {
        pairs += entry.second;
    }
    return pairs;
}

std::string Summary(const std::map<std::string, long>& states)
{
    std::string summary;
    for (const auto& [state, count] : states) {
        summary += (summary.empty() ? "" : ", ") + std::to_string(count) + " " + state;
    }
    return summary;
}

// Ctrl-C well into the sync: how long the tool takes to finish its requests and write its report.
bool Interrupt(const Settings& settings, ChildProgram& tool, double firstRequest)
{
    std::this_thread::sleep_for(std::chrono::duration<double>(settings.interruptAfter));
    const auto signalled = std::chrono::steady_clock::now();
    tool.Signal(SIGINT);
    const Finished run = tool.Wait();
    const double finish =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - signalled).count();
    const auto states = States(settings.directory + "/report.csv");
    const long expected = static_cast<long>(settings.users) * settings.terminals;
    std::printf("%d users x %d terminals, SIGINT %.0f s after the first request: exit %d; %s\n",
                settings.users, settings.terminals, settings.interruptAfter, run.exitCode,
                Summary(states).c_str());
    bool met = Report("first request after the start", firstRequest, "s",
                      firstRequest <= kFirstRequestLimitS);
    met &= Report("from SIGINT to the end, report written", finish, "s",
                  finish <= kFinishLimitS && run.exitCode == 130);
    met &= Report("peak resident memory of facepad-cli", run.peakMb, "MB",
                  run.peakMb <= kMemoryLimitMb);
    met &= Report("report rows (one per pair)", static_cast<double>(Pairs(states)), "",
                  Pairs(states) == expected);
    return met;
}

int Sync(const Settings& settings, const std::string& users)
{
    Simulator simulator(settings);
    for (int t = 1; t <= settings.terminals; ++t) {
        const std::string port = std::to_string(simulator.Port());
        RunProgram({settings.cli, "--port", port, "bind", Serial(t), std::to_string(t)});
    }
    const auto started = std::chrono::steady_clock::now();
    ChildProgram tool(SyncArgs(settings, users, simulator.Port()));
    const double firstRequest = FirstRequestSeconds(simulator.Port(), started, tool);
    if (settings.interruptAfter > 0) {
        const bool met = Interrupt(settings, tool, firstRequest);
        std::printf("%-52s %10.2f MB\n", "peak resident memory of the simulator",
                    simulator.PeakMemoryMb());
        return met ? 0 : 1;
    }
    const Finished run = tool.Wait();
    const auto states = States(settings.directory + "/report.csv");
    const long known = (states.count("done") ? states.at("done") : 0) +
                       (states.count("terminal-error") ? states.at("terminal-error") : 0);
    std::printf("%d users x %d terminals at --latency %d with --jobs %d: exit %d; %s\n",
                settings.users, settings.terminals, settings.latencyMs, settings.jobs, run.exitCode,
                Summary(states).c_str());
    bool met = Report("whole sync, every result awaited", run.seconds, "s",
                      settings.targetSeconds <= 0 || run.seconds <= settings.targetSeconds);
    met &= Report("first request after the start", firstRequest, "s",
                  firstRequest <= kFirstRequestLimitS);
    met &= Report("peak resident memory of facepad-cli", run.peakMb, "MB",
                  run.peakMb <= kMemoryLimitMb);
    met &= Report("pairs whose final state is known", static_cast<double>(known), "",
                  known == Pairs(states) && known > 0);
    std::printf("%-52s %10.2f MB\n", "peak resident memory of the simulator",
                simulator.PeakMemoryMb());
    return met ? 0 : 1;
}

long Count(const std::map<std::string, long>& states, const char* state)
{
    const auto found = states.find(state);
    return found == states.end() ? 0 : found->second;
}

// One whole sync on a fresh simulator: its wall time and final states.
std::pair<Finished, std::map<std::string, long>> TimedSync(const Settings& settings,
                                                           const std::string& users)
{
    Simulator simulator(settings);
    for (int t = 1; t <= settings.terminals; ++t) {
        const std::string port = std::to_string(simulator.Port());
        RunProgram({settings.cli, "--port", port, "bind", Serial(t), std::to_string(t)});
    }
    const Finished run = RunProgram(SyncArgs(settings, users, simulator.Port()));
    return {run, States(settings.directory + "/report.csv")};
}

// What waiting for every result costs: a tool that collects as fast as the gateway hands results
// out adds little to the sending.
int CompareWait(Settings settings, const std::string& users)
{
    settings.wait = false;
    const auto [sent, sentStates] = TimedSync(settings, users);
    settings.wait = true;
    const auto [waited, waitedStates] = TimedSync(settings, users);
    const long pairs = static_cast<long>(settings.users) * settings.terminals;
    std::printf("%d users x %d terminals at --latency %d with --jobs %d: %s; then waiting: %s\n",
                settings.users, settings.terminals, settings.latencyMs, settings.jobs,
                Summary(sentStates).c_str(), Summary(waitedStates).c_str());
    bool met = Report("sync without --wait-results", sent.seconds, "s",
                      sent.exitCode == 0 && Count(sentStates, "sent") == pairs);
    met &= Report("sync with --wait-results, every pair done", waited.seconds, "s",
                  waited.exitCode == 0 && Count(waitedStates, "done") == pairs);
    const double cost = waited.seconds / sent.seconds;
    met &= Report("waiting costs (target <= 1.3)", cost, "x", cost <= kWaitCostLimit);
    return met ? 0 : 1;
}

Settings Parse(int argc, char** argv)
{
    if (argc < 4) {
        throw std::invalid_argument(
            "usage: facepad-cli-scale CLI SIMULATOR DIR [--users N] "
            "[--terminals T] [--dry-run] [--latency MS] [--jobs J] "
            "[--target-seconds S]");
    }
    Settings settings{argv[1], argv[2], argv[3]};
    for (int i = 4; i < argc; ++i) {
        const std::string option = argv[i];
        if (option == "--dry-run" || option == "--compare-wait") {
            (option == "--dry-run" ? settings.dryRun : settings.compareWait) = true;
            continue;
        }
        if (i + 1 >= argc) {
            throw std::invalid_argument(option + " needs a value");
        }
        const std::string value = argv[++i];
        if (option == "--users") {
            settings.users = std::stoi(value);
        } else if (option == "--terminals") {
            settings.terminals = std::stoi(value);
        } else if (option == "--latency") {
            settings.latencyMs = std::stoi(value);
        } else if (option == "--jobs") {
            settings.jobs = std::stoi(value);
        } else if (option == "--target-seconds") {
            settings.targetSeconds = std::stod(value);
        } else if (option == "--interrupt-after") {
            settings.interruptAfter = std::stod(value);
        } else {
            throw std::invalid_argument("unknown option " + option);
        }
    }
    return settings;
}

}  // namespace

int main(int argc, char** argv)
{
    try {
        const Settings settings = Parse(argc, argv);
        const std::string users = Fixture(settings);
        if (settings.compareWait) {
            return CompareWait(settings, users);
        }
        return settings.dryRun ? DryRun(settings, users) : Sync(settings, users);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "facepad-cli-scale: %s\n", error.what());
        return 2;
    }
}
