// facepad-cli: drives the face-terminal adapter against a real gateway or the simulator.
#include <CLS_VurodoroViri_Druvel.h>
#include <VurodoroViri_Diagnostics.h>
#include <VurodoroViri_Options.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>

#include "adapter_log.h"
#include "command_line.h"
#include "doctor_command.h"
#include "gateway_address.h"
#include "gateway_commands.h"
#include "output.h"
#include "record_commands.h"
#include "result_watch.h"
#include "sync_command.h"
#include "terminal_commands.h"
#include "text_checks.h"
#include "utf8_console.h"

namespace {

using facepad::cli::Adapter;
using facepad::cli::CommandLine;
using facepad::cli::ExitCode;
using facepad::cli::Output;

// The adapter's connect time-out, which a shorter --timeout shortens too.
constexpr std::chrono::seconds kConnectTimeout{3};

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
    // Kept for the scripts that pass it: the tool now polls as soon as it waits for results.
    app.add_flag("--fast-first-poll", line.fastFirstPoll)->group("");
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

// --timeout goes to the adapter itself, so a call that runs out of it ends there and then.
void Configure(Adapter& adapter, const CommandLine& line)
{
    adapter.SetUrl(line.url);
    adapter.SetRequestPort(line.port);
    if (line.timeoutSeconds > 0) {
        const std::chrono::milliseconds total = std::chrono::seconds(line.timeoutSeconds);
        Osmer_Framework::Face::VurodoroViri_SetExchangeTimeouts(
            adapter, {std::min<std::chrono::milliseconds>(kConnectTimeout, total), total});
    }
}

int Run(CommandLine& line)
{
    Output out(line.json, line.command);
    out.Set("gateway", line.url + ":" + std::to_string(line.port));
    const std::string urlProblem = facepad::cli::UrlProblem(line.url);
    if (!urlProblem.empty()) {
        return out.Finish(ExitCode::Usage, urlProblem + "; nothing sent");
    }
    facepad::cli::CaptureAdapterLog(line.verbose);
    auto adapter = std::make_unique<Adapter>();
    facepad::cli::PausePolling(*adapter);  // until, and unless, the subcommand waits for results
    Configure(*adapter, line);
    const facepad::cli::Verdict verdict = line.action(*adapter, out);
    adapter.reset();  // stops the polling thread before the outcome is printed
    return out.Finish(verdict.code, verdict.message);
}

}  // namespace

int main(int argc, char** argv)
{
    facepad::UseUtf8Console();
    CLI::App app{"facepad-cli: drives the face-terminal adapter against a gateway"};
    CommandLine line;
    line.argv.assign(argv, argv + argc);
    AddGlobalOptions(app, line);
    facepad::cli::AddRecordCommands(app, line);
    facepad::cli::AddTerminalCommands(app, line);
    facepad::cli::AddGatewayCommands(app, line);
    facepad::cli::AddSyncCommands(app, line);
    facepad::cli::AddDoctorCommand(app, line);
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
