// facepad-gateway-sim: the gateway service the adapter talks to, simulated, so that hosts, the
// adapter and its tests run without terminals.
#include <CLI/CLI.hpp>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "facepad_protocol.h"
#include "front_setup.h"
#include "gateway.h"
#include "sim_server.h"
#include "stop_requests.h"
#include "terminal_option.h"
#include "utf8_console.h"

namespace {

using namespace facepad;
using namespace facepad::sim;

// The exit codes, as docs/simulator.md lists them.
constexpr int kExitStopped = 0;      // asked to stop (see stop_requests.h), or --help
constexpr int kExitServerEnded = 1;  // the listening loop ended without being asked to
constexpr int kExitUsage = 2;        // the command line is wrong
constexpr int kExitCannotStart = 3;  // port, state or port file unusable

struct Options {
    ServerSettings server;
    std::vector<std::string> terminals{"FACE-0001", "FACE-0002"};
    std::vector<std::string> statusOverrides;
    FrontSettings front;
    std::string statePath;
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
    app.add_option("--state,--state-file", o.statePath,
                   "SQLite database that keeps the whole state across restarts (default: memory)");
    app.add_option("--port-file", o.portFile, "write the listening port into this file");
    app.add_option("--allow-host", o.server.allowedHosts,
                   "another name (Host) the page and /_sim/ answer to, besides localhost, "
                   "127.0.0.1, [::1] and --host; repeatable");
    app.add_option("--payload-cap", o.server.payloadCap,
                   "largest request body in bytes (413 above)")
        ->capture_default_str();
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
    app.add_option("--journal-size", o.server.journalSize,
                   "requests the journal under /_sim/journal keeps (older ones are dropped)")
        ->capture_default_str()
        ->check(CLI::Range(std::size_t{1}, std::size_t{1000000}));
    app.add_flag("--quiet", o.quiet, "no log line per request");
    app.add_option("--upstream", o.front.upstream,
                   "relay every facepad/ request to the gateway at http://HOST:PORT and journal "
                   "both sides");
    app.add_option("--record", o.front.record,
                   "with --upstream: record the gateway's answers into this file");
    app.add_option("--replay", o.front.replay,
                   "answer facepad/ requests from a recording made with --record");
}

void LogLine(const std::string& line)
{
    const std::string text = line + "\n";
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

std::string CheckTerminals(const Options& o, std::vector<TerminalSpec>& terminals)
{
    for (const std::string& text : o.terminals) {
        const auto parsed = ParseTerminalSpec(text);
        if (!parsed.ok()) {
            return parsed.error;
        }
        for (const TerminalSpec& earlier : terminals) {
            if (earlier.serial == parsed.value.serial) {
                return "terminal " + earlier.serial + " is named twice by --terminal";
            }
        }
        terminals.push_back(parsed.value);
    }
    return std::string();
}

// Empty on success, otherwise what is wrong with the options.
std::string CheckOptions(Options& o, std::vector<TerminalSpec>& terminals)
{
    o.server.faults.latency = std::chrono::milliseconds(o.latencyMs);
    if (o.server.payloadCap == 0) {
        return "--payload-cap must be at least 1 byte (0 would refuse every request body)";
    }
    for (const std::string& text : o.statusOverrides) {
        const std::string error = AddStatusOverride(text, o.server.faults.statusOverrides);
        if (!error.empty()) {
            return "--status: " + error;
        }
    }
    const std::string front = FrontProblem(o.front);
    return front.empty() ? CheckTerminals(o, terminals) : front;
}

// Opens the state; null after telling why it cannot start.
std::unique_ptr<Gateway> OpenGateway(const Options& o, const std::vector<TerminalSpec>& terminals)
{
    try {
        return std::make_unique<Gateway>(terminals, o.statePath);
    } catch (const StoreError& error) {
        std::cerr << "facepad-gateway-sim: state " << error.what()
                  << " (the file is left as it was)\n";
        return nullptr;
    }
}

// Written whole, then renamed, so that a script polling for the file never reads half. Binary, so
// that Windows writes "\n" alone and a shell's $(cat file) gives the number. Empty on success,
// otherwise why the file could not be written.
std::string WritePortFile(int port, const std::string& portFile)
{
    const std::string temporary = portFile + ".tmp";
    {
        std::ofstream file(temporary, std::ios::binary);
        file << port << "\n";
        if (!file.flush()) {
            return "cannot write the port file " + temporary;
        }
    }
    if (std::rename(temporary.c_str(), portFile.c_str()) != 0) {
        std::remove(temporary.c_str());
        return "cannot rename " + temporary + " to " + portFile;
    }
    return std::string();
}

// Runs the simulator until it is asked to stop or its server ends; everything it opened is closed
// when this returns.
int Serve(Options& options, const std::vector<TerminalSpec>& terminals, StopRequests& stop)
{
    const std::unique_ptr<Gateway> gateway = OpenGateway(options, terminals);
    if (!gateway) {
        return kExitCannotStart;
    }
    if (!options.quiet) {
        options.server.log = &LogLine;
    }
    Front front;
    try {
        front = OpenFront(options.front);
    } catch (const std::exception& error) {
        std::cerr << "facepad-gateway-sim: " << error.what() << "\n";
        return kExitCannotStart;
    }
    options.server.front = front.answer;
    std::unique_ptr<SimServer> server;
    try {
        server = std::make_unique<SimServer>(*gateway, options.server);
    } catch (const std::exception& error) {
        std::cerr << "facepad-gateway-sim: " << error.what() << "\n";
        return kExitCannotStart;
    }
    server->Start();
    if (!options.portFile.empty()) {
        const std::string error = WritePortFile(server->Port(), options.portFile);
        if (!error.empty()) {
            server->Stop();
            std::cerr << "facepad-gateway-sim: " << error << "\n";
            return kExitCannotStart;
        }
    }
    if (!front.described.empty()) {
        LogLine("facepad-gateway-sim: " + front.described);
    }
    std::cout << "facepad-gateway-sim listening on http://" << options.server.host << ":"
              << server->Port() << " (page at /, API under /_sim/)" << std::endl;
    const bool asked = stop.Wait([&server] { return server->Running(); });
    server->Stop();
    if (front.closing) {
        LogLine("facepad-gateway-sim: " + front.closing());
    }
    LogLine(asked ? "facepad-gateway-sim stopped" : "facepad-gateway-sim: the server ended");
    return asked ? kExitStopped : kExitServerEnded;
}

}  // namespace

int main(int argc, char** argv)
{
    facepad::UseUtf8Console();
    CLI::App app{"facepad-gateway-sim: a simulated facepad gateway for hosts and tests"};
    Options options;
    AddOptions(app, options);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& error) {
        return app.exit(error) == 0 ? kExitStopped : kExitUsage;
    }

    std::vector<TerminalSpec> terminals;
    const std::string problem = CheckOptions(options, terminals);
    if (!problem.empty()) {
        std::cerr << "facepad-gateway-sim: " << problem << "\n";
        return kExitUsage;
    }
    StopRequests stop;  // before the first thread starts
    return Serve(options, terminals, stop);
}
