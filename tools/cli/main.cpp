// facepad-cli: drives the face-terminal adapter against a real gateway or the simulator.
#include <CLS_VurodoroViri_Druvel.h>
#include <VurodoroViri_Diagnostics.h>
#include <VurodoroViri_Options.h>
#include <VurodoroViri_Version.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "adapter_log.h"
#include "command_line.h"
#include "doctor_command.h"
#include "facepad_source_commit.h"
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

constexpr char kGatewayVariable[] = "FACEPAD_GATEWAY";
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
    app.add_flag("--json{all}", line.jsonForm,
                 "print one JSON document on stdout, errors included; --json=summary leaves out "
                 "a sync's list of every user on every terminal (--report has it)")
        ->check(CLI::IsMember({"all", "summary"}));
    app.add_flag("-v,--verbose", line.verbose, "echo every adapter log line to stderr");
    // Kept for the scripts that pass it: the tool now polls as soon as it waits for results.
    app.add_flag("--fast-first-poll", line.fastFirstPoll)->group("");
    app.set_version_flag("--version", std::string("facepad-cli ") + VURODOROVIRI_VERSION +
                                          ", commit " + FACEPAD_SOURCE_COMMIT +
                                          " (adapter library " +
                                          Osmer_Framework::Face::VurodoroViri_GetVersion() + ")");
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

// FACEPAD_GATEWAY=http://HOST:PORT stands in for --url and --port where they are not given. What
// it gave is written into the command line that a sync names as its next step.
std::string ApplyGatewayVariable(const CLI::App& app, CommandLine& line)
{
    const char* variable = std::getenv(kGatewayVariable);
    if (variable == nullptr || *variable == '\0') {
        return std::string();
    }
    std::string url;
    int port = 0;
    const std::string problem = facepad::cli::SplitGatewayUrl(variable, url, port);
    if (!problem.empty()) {
        return std::string(kGatewayVariable) + "=" + variable + ": " + problem;
    }
    std::vector<std::string> written;
    if (app.get_option("--url")->count() == 0) {
        line.url = url;
        written.insert(written.end(), {"--url", url});
    }
    if (port != 0 && app.get_option("--port")->count() == 0) {
        line.port = port;
        written.insert(written.end(), {"--port", std::to_string(port)});
    }
    line.argv.insert(line.argv.begin() + 1, written.begin(), written.end());
    return std::string();
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

int Run(const CLI::App& app, CommandLine& line)
{
    line.json = !line.jsonForm.empty();
    line.jsonSummary = line.jsonForm == "summary";
    Output out(line.json, line.command, line.jsonSummary);
    const std::string variableProblem = ApplyGatewayVariable(app, line);
    out.Set("gateway", line.url + ":" + std::to_string(line.port));
    if (!variableProblem.empty()) {
        return out.Finish(ExitCode::Usage, variableProblem + "; nothing sent");
    }
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
        const bool json = std::any_of(argv + 1, argv + argc, [](const char* word) {
            return std::string(word).rfind("--json", 0) == 0;
        });
        const std::string problem = ParseProblem(app, error, argc, argv);
        if (!json) {
            // A mistyped command line is the one outcome on stderr: it is no run's result.
            std::fprintf(stderr, "%s\n", problem.c_str());
            return static_cast<int>(ExitCode::Usage);
        }
        Output out(json, line.command.empty() ? FirstWord(argc, argv) : line.command);
        return out.Finish(ExitCode::Usage, problem);
    }
    return Run(app, line);
}
