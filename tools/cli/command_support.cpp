#include "command_support.h"

#include "adapter_log.h"
#include "command_result.h"

namespace facepad::cli {

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
    sub->add_flag("--wait{30}", line.waitText,
                  "wait up to SECONDS (default 30) for this command's result and exit 1 unless "
                  "it is 0: --wait[=SECONDS]");
}

Verdict RunTerminalCommand(Adapter& adapter, Output& out, const CommandLine& line,
                           const std::string& what, const std::function<bool()>& operation)
{
    const std::string problem = PrepareResultWait(adapter, line);
    if (!problem.empty()) {
        return UsageError(line.command + ": " + problem + "; nothing sent");
    }
    const CallOutcome outcome = Call(operation);
    const Verdict sent = Conclude(out, line, what, outcome);
    // A command that may have reached the gateway is settled by its result, if one comes.
    if (!outcome.ok && !MayHaveBeenDone(outcome)) {
        return sent;
    }
    return AwaitCommandResult(out, adapter, line, line.serial, line.id, sent);
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
    out.Set("delivery", std::string(DeliveryName(outcome)));
    if (outcome.ok) {
        return Verdict{ExitCode::Success, what + ": accepted by the gateway"};
    }
    std::string next;
    if (MayHaveBeenDone(outcome)) {
        next = outcome.exchange == Osmer_Framework::Face::VurodoroViri_ExchangeOutcome::ProxyError
                   ? "; "
                   : "; it may have been carried out, so ";
        next += "let its result tell (--wait, or watch-results) before sending it again";
    }
    return Verdict{CodeFor(outcome), what + ": FAILED: " + Reason(outcome, line) + next};
}

Verdict UsageError(const std::string& message)
{
    return Verdict{ExitCode::Usage, message};
}

}  // namespace facepad::cli
