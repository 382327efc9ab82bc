#include "command_support.h"

#include "adapter_log.h"

namespace facepad::cli {

std::string GatewayAddress(const CommandLine& line)
{
    return line.url + ":" + std::to_string(line.port);
}

CLI::App* Subcommand(CLI::App& app, CommandLine& line, const char* name, const char* help,
                     Verdict (*run)(Adapter&, Output&, const CommandLine&))
{
    CLI::App* sub = app.add_subcommand(name, help);
    sub->callback([&line, run, name] {
        line.command = name;
        line.action = [&line, run](Adapter& a, Output& out) { return run(a, out, line); };
    });
    return sub;
}

void AddTargetOptions(CLI::App* sub, CommandLine& line)
{
    sub->add_option("SN", line.serial, "terminal serial number")->required();
    sub->add_option("--id", line.id, "command identifier; its result is reported under it")
        ->required();
}

Verdict Conclude(Output& out, const CommandLine& line, const std::string& what,
                 const CallOutcome& outcome)
{
    const std::vector<std::string> log = TakeAdapterLog();
    out.Set("outcome",
            std::string(Osmer_Framework::Face::VurodoroViri_ExchangeOutcomeName(outcome.exchange)));
    if (!outcome.status.empty()) {
        out.Set("http_status", outcome.status);
        out.Set("reply", outcome.reply);
    }
    out.SetList("adapter_log", log);
    if (outcome.ok) {
        return Verdict{ExitCode::Success, what + ": accepted by the gateway"};
    }
    for (const std::string& entry : log) {
        out.Say("  adapter: " + entry);
    }
    return Verdict{CodeFor(outcome), what + ": FAILED: " + Reason(outcome, GatewayAddress(line))};
}

Verdict UsageError(const std::string& message)
{
    return Verdict{ExitCode::Usage, message};
}

}  // namespace facepad::cli
