// facepad-cli: drives the face-terminal adapter against a real gateway or the simulator.
#include <CLS_VurodoroViri_Druvel.h>
#include <VurodoroViri_Diagnostics.h>
#include <VurodoroViri_TestAccess.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "adapter_log.h"
#include "command_line.h"
#include "gateway_call.h"
#include "gateway_commands.h"
#include "output.h"
#include "record_commands.h"
#include "sync_command.h"
#include "terminal_commands.h"
#include "text_checks.h"

namespace {

using facepad::cli::CommandLine;
using facepad::cli::ExitCode;
using facepad::cli::Output;

// --fast-first-poll: naps of 10 ms instead of 100 ms make the polling thread's whole rhythm ten
// times faster (first poll after 0.8 s instead of 8 s). A diagnostic for people and test scripts;
// hosts never see it.
constexpr std::chrono::milliseconds kFastNap{10};

void AddGlobalOptions(CLI::App& app, CommandLine& line)
{
    app.add_option("--url", line.url, "gateway base URL, http://HOST without port")
        ->capture_default_str();
    app.add_option("--port", line.port, "gateway port")
        ->capture_default_str()
        ->check(CLI::Range(1, 65535));
    app.add_option("--timeout", line.timeoutSeconds,
                   "give up on a gateway call after this many seconds (default: the adapter's "
                   "own limit, 30 s)")
        ->check(CLI::PositiveNumber);
    app.add_flag("--json", line.json, "print one JSON document on stdout, errors included");
    app.add_flag("-v,--verbose", line.verbose, "echo every adapter log line to stderr");
    app.add_flag("--fast-first-poll", line.fastFirstPoll,
                 "diagnostic: poll results ten times sooner and faster than the adapter does for "
                 "hosts (first poll after 0.8 s, not 8 s)");
    app.set_version_flag("--version", std::string("facepad-cli, adapter library ") +
                                          Osmer_Framework::Face::VurodoroViri_GetVersion());
    app.require_subcommand(1);
    app.fallthrough();  // global options may follow the subcommand too
}

std::vector<std::string> SubcommandNames(const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
        names.push_back(sub->get_name());
    }
    return names;
}

// The first word that is neither an option nor an option's value: what was meant as subcommand.
std::string FirstWord(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--url" || word == "--port" || word == "--timeout") {
            ++i;
        } else if (word.empty() || word[0] != '-') {
            return word;
        }
    }
    return std::string();
}

// CLI11 says "A subcommand is required" for a typo; say what was typed and what was meant.
std::string ParseProblem(const CLI::App& app, const CLI::ParseError& error, int argc, char** argv)
{
    const std::string word = FirstWord(argc, argv);
    const auto names = SubcommandNames(app);
    if (!word.empty() && std::find(names.begin(), names.end(), word) == names.end()) {
        const auto close = facepad::cli::ClosestMatch(word, names);
        return "unknown subcommand \"" + word + "\"" +
               (close ? "; did you mean \"" + *close + "\"?" : std::string()) + " (see --help)";
    }
    return error.what();
}

int Run(CommandLine& line)
{
    Output out(line.json, line.command);
    out.Set("gateway", line.url + ":" + std::to_string(line.port));
    if (line.url.rfind("http://", 0) != 0 || line.url.size() == 7) {
        return out.Finish(ExitCode::Usage,
                          "bad URL \"" + line.url + "\": only http://HOST is supported");
    }
    facepad::cli::CaptureAdapterLog(line.verbose);
    facepad::cli::SetCallTimeout(line.timeoutSeconds);
    if (line.fastFirstPoll) {
        Osmer_Framework::Face::VurodoroViri_TestAccess::SetNapLength(kFastNap);
    }
    auto adapter = std::make_unique<facepad::cli::Adapter>();
    adapter->SetUrl(line.url);
    adapter->SetRequestPort(line.port);
    const facepad::cli::Verdict verdict = line.action(*adapter, out);
    const int exitCode = out.Finish(verdict.code, verdict.message);
    if (facepad::cli::CallTimedOut()) {
        facepad::cli::EndWithoutCleanup(exitCode);  // the adapter is still busy on another thread
    }
    adapter.reset();  // stops the polling thread before the process ends
    return exitCode;
}

}  // namespace

int main(int argc, char** argv)
{
    CLI::App app{"facepad-cli: drives the face-terminal adapter against a gateway"};
    CommandLine line;
    AddGlobalOptions(app, line);
    facepad::cli::AddRecordCommands(app, line);
    facepad::cli::AddTerminalCommands(app, line);
    facepad::cli::AddGatewayCommands(app, line);
    facepad::cli::AddSyncCommand(app, line);
    try {
        app.parse(argc, argv);
    } catch (const CLI::Success& done) {
        return app.exit(done);  // --help, --version
    } catch (const CLI::ParseError& error) {
        // The parse may have stopped before it reached --json.
        const bool json = std::any_of(
            argv + 1, argv + argc, [](const char* word) { return std::string(word) == "--json"; });
        Output out(json, line.command.empty() ? FirstWord(argc, argv) : line.command);
        return out.Finish(ExitCode::Usage, ParseProblem(app, error, argc, argv));
    }
    return Run(line);
}
