// facepad-gateway-sim: the gateway service the adapter talks to, simulated, so that hosts, the
// adapter and its tests run without terminals.
#include <CLI/CLI.hpp>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "facepad_protocol.h"
#include "gateway.h"
#include "sim_server.h"
#include "state_file.h"
#include "terminal_option.h"

namespace {

using namespace facepad;
using namespace facepad::sim;

constexpr int kExitUsage = 2;
constexpr int kExitCannotStart = 3;

struct Options {
    ServerSettings server;
    std::vector<std::string> terminals{"FACE-0001", "FACE-0002"};
    std::vector<std::string> statusOverrides;
    std::string stateFile;
    std::string portFile;
    int latencyMs = 0;
    bool quiet = false;
};

void AddOptions(CLI::App& app, Options& o)
{
    app.add_option("--host", o.server.host, "address to listen on")->capture_default_str();
    app.add_option("--port", o.server.port, "port to listen on; 0 picks a free one and prints it")
        ->capture_default_str()
        ->check(CLI::Range(0, 65535));
    app.add_option("--terminal", o.terminals,
                   "a terminal the gateway knows: SN (connected) or SN:offline; repeatable")
        ->capture_default_str();
    app.add_option("--state-file", o.stateFile,
                   "JSON file that keeps users, photos, bindings and settings across restarts");
    app.add_option("--port-file", o.portFile, "write the listening port into this file");
    app.add_option("--payload-cap", o.server.payloadCap,
                   "largest request body in bytes (413 above)")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    app.add_option("--latency", o.latencyMs, "milliseconds added before every answer")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--fail-rate", o.server.faults.failRate, "share of requests answered 500")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--drop-rate", o.server.faults.dropRate,
                   "share of requests whose connection is closed mid-answer")
        ->check(CLI::Range(0.0, 1.0));
    app.add_option("--status", o.statusOverrides,
                   "ENDPOINT=STATUS: always answer that endpoint with that status; repeatable");
    app.add_option("--seed", o.server.faults.seed, "seed for the fault rates (0: random)");
    app.add_flag("--quiet", o.quiet, "no log line per request");
}

void LogLine(const std::string& line)
{
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

// Empty on success, otherwise what is wrong with the options.
std::string CheckOptions(Options& o, std::vector<TerminalSpec>& terminals)
{
    o.server.faults.latency = std::chrono::milliseconds(o.latencyMs);
    for (const std::string& text : o.terminals) {
        const auto parsed = ParseTerminalSpec(text);
        if (!parsed.ok()) {
            return parsed.error;
        }
        terminals.push_back(parsed.value);
    }
    for (const std::string& text : o.statusOverrides) {
        const std::string error = AddStatusOverride(text, o.server.faults.statusOverrides);
        if (!error.empty()) {
            return "--status: " + error;
        }
    }
    return std::string();
}

// Loads the state file (if there is one yet) and saves every change into it.
bool AttachStateFile(GatewayState& state, const std::string& path)
{
    if (path.empty()) {
        return true;
    }
    LoadedState loaded = LoadStateFile(path);
    if (!loaded.error.empty()) {
        std::cerr << "facepad-gateway-sim: state file " << loaded.error
                  << " (not overwritten; move it away or fix it)\n";
        return false;
    }
    if (loaded.found) {
        state.Restore(std::move(loaded.data));
    }
    state.OnChange([path](const GatewayData& data) {
        const std::string error = SaveStateFile(path, data);
        if (!error.empty()) {
            LogLine("state file: " + error);
        }
    });
    return true;
}

void AnnouncePort(int port, const std::string& host, const std::string& portFile)
{
    std::cout << "facepad-gateway-sim listening on http://" << host << ":" << port << std::endl;
    if (!portFile.empty()) {
        // Written whole, then renamed, so that a script polling for the file never reads half.
        const std::string temporary = portFile + ".tmp";
        std::ofstream(temporary) << port << "\n";
        std::rename(temporary.c_str(), portFile.c_str());
    }
}

// Blocks until SIGINT or SIGTERM, or until the server ends by itself.
void WaitForStopSignal(const sigset_t& signals, const SimServer& server)
{
    const timespec slice{0, 200 * 1000 * 1000};
    while (server.Running()) {
        if (sigtimedwait(&signals, nullptr, &slice) > 0) {
            return;
        }
    }
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"facepad-gateway-sim: a simulated facepad gateway for hosts and tests"};
    Options options;
    AddOptions(app, options);
    CLI11_PARSE(app, argc, argv);

    std::vector<TerminalSpec> terminals;
    const std::string problem = CheckOptions(options, terminals);
    if (!problem.empty()) {
        std::cerr << "facepad-gateway-sim: " << problem << "\n";
        return kExitUsage;
    }
    // Signals are taken by sigtimedwait on the main thread; every thread started from here on
    // inherits the mask, so none of them is interrupted.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    Gateway gateway(terminals);
    if (!AttachStateFile(gateway.State(), options.stateFile)) {
        return kExitCannotStart;
    }
    if (!options.quiet) {
        options.server.log = &LogLine;
    }
    std::unique_ptr<SimServer> server;
    try {
        server = std::make_unique<SimServer>(gateway, options.server);
    } catch (const std::exception& error) {
        std::cerr << "facepad-gateway-sim: " << error.what() << "\n";
        return kExitCannotStart;
    }
    server->Start();
    AnnouncePort(server->Port(), options.server.host, options.portFile);
    WaitForStopSignal(stopSignals, *server);
    server->Stop();
    LogLine("facepad-gateway-sim stopped");
    return 0;
}
