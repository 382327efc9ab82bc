#include "terminal_commands.h"

#include <CLS_VurodoroViri_Druvel.h>

#include "command_support.h"
#include "status_lists.h"

namespace facepad::cli {

namespace {

using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;

Verdict Unlock(Adapter& a, Output& out, const CommandLine& l)
{
    return RunTerminalCommand(a, out, l, "unlock door on " + l.serial + " as command " + l.id,
                              [&] { return a.ControlDeviceFace(l.id, l.serial, "", "", ""); });
}

Verdict Bind(Adapter& a, Output& out, const CommandLine& l)
{
    return Conclude(out, l, "bind " + l.serial + " to channel " + std::to_string(l.channel),
                    Call([&] { return a.BindVurodoroViri(l.serial, l.channel, "", "", "", ""); }));
}

Verdict Unbind(Adapter& a, Output& out, const CommandLine& l)
{
    return Conclude(out, l, "unbind " + l.serial,
                    Call([&] { return a.UnBindVurodoroViri(l.serial); }));
}

// The adapter says only "connected or not"; an accepted answer tells "not connected" (the
// gateway lists the terminal) from "unknown" (an empty list).
std::string StatusWord(const CallOutcome& outcome)
{
    if (outcome.ok) {
        return "connected";
    }
    const auto list = ReadTerminalList(outcome.reply);
    if (!list) {
        return "unknown (the gateway's reply holds no status list)";
    }
    return list->empty() ? "unknown (the gateway does not know this terminal)" : "not connected";
}

Verdict Status(Adapter& a, Output& out, const CommandLine& l)
{
    const CallOutcome outcome = Call([&] { return a.GetTerminalStatusFace(l.serial); });
    if (!outcome.ok && outcome.exchange != VurodoroViri_ExchangeOutcome::Accepted) {
        return Conclude(out, l, "status of " + l.serial, outcome);
    }
    Conclude(out, l, "status of " + l.serial, outcome);
    const std::string word = StatusWord(outcome);
    const std::string brief = word.substr(0, word.find(" ("));
    out.Set("serial", l.serial);
    out.Set("status", brief);
    return Verdict{outcome.ok ? ExitCode::Success : ExitCode::Refused,
                   "terminal " + l.serial + ": " + word};
}

}  // namespace

void AddTerminalCommands(CLI::App& app, CommandLine& l)
{
    CLI::App* bind = Subcommand(app, l, "bind", "bind a terminal to a channel", &Bind);
    bind->add_option("SN", l.serial, "terminal serial number")->required();
    bind->add_option("CHANNEL", l.channel, "channel number")->required();

    CLI::App* unbind = Subcommand(app, l, "unbind", "unbind a terminal", &Unbind);
    unbind->add_option("SN", l.serial, "terminal serial number")->required();

    CLI::App* status =
        Subcommand(app, l, "status",
                   "connected, not connected or unknown (exit 0 only if connected)", &Status);
    status->add_option("SN", l.serial, "terminal serial number")->required();

    CLI::App* unlock = Subcommand(app, l, "unlock", "unlock a terminal's door", &Unlock);
    AddTargetOptions(unlock, l);
}

}  // namespace facepad::cli
