#include "gateway_commands.h"

#include <CLS_VurodoroViri_Druvel.h>
#include <VurodoroViri_Options.h>

#include <cstdio>
#include <map>

#include "adapter_log.h"
#include "command_result.h"
#include "command_support.h"
#include "facepad_protocol.h"
#include "init_settings.h"
#include "result_watch.h"
#include "status_lists.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

std::string DescribeTerminal(const TerminalEntry& t)
{
    std::string text = t.serial + (t.connected ? "  connected" : "  not connected");
    if (t.bound) {
        text += *t.bound ? "  bound" : "  not bound";
    }
    if (t.channel) {
        text += " to channel " + std::to_string(*t.channel);
    }
    return text;
}

json_object* TerminalJson(const TerminalEntry& t)
{
    json_object* object = json_object_new_object();
    json_object_object_add(object, "serial", JsonText(t.serial));
    json_object_object_add(object, "connected", json_object_new_boolean(t.connected));
    if (t.bound) {
        json_object_object_add(object, "bound", json_object_new_boolean(*t.bound));
    }
    if (t.channel) {
        json_object_object_add(object, "channel", json_object_new_int(*t.channel));
    }
    return object;
}

// The whole list, through the options header: the diagnostics keep only a reply's first 4 KiB.
Verdict Available(Adapter& a, Output& out, const CommandLine& l)
{
    std::string reply;
    const CallOutcome outcome =
        Call([&] { return Osmer_Framework::Face::VurodoroViri_GetAvailableReply(a, reply); });
    Verdict verdict = Conclude(out, l, "available terminals", outcome);
    if (!outcome.ok) {
        return verdict;
    }
    const auto list = ReadTerminalList(reply);
    if (!list) {
        return Verdict{
            ExitCode::Refused,
            "available terminals: the gateway's reply holds no terminal list: " + outcome.reply};
    }
    json_object* terminals = json_object_new_array();
    for (const TerminalEntry& t : *list) {
        out.Say(DescribeTerminal(t));
        json_object_array_add(terminals, TerminalJson(t));
    }
    json_object_object_add(out.Document(), "terminals", terminals);
    return Verdict{ExitCode::Success, std::to_string(list->size()) + " terminal(s)"};
}

Verdict SetPort(Adapter& a, Output& out, const CommandLine& l)
{
    if (!ParsePort(l.listenPort)) {
        return UsageError("set-port: PORT must be a number from 1 to 65535, got \"" + l.listenPort +
                          "\"; nothing sent");
    }
    std::string port = l.listenPort;
    std::string reset = l.reset;
    return Conclude(out, l, "set listen port " + port + " (reset " + reset + ")",
                    Call([&] { return a.SetListenPortFace(port, reset); }));
}

Verdict Init(Adapter& a, Output& out, const CommandLine& l)
{
    InitSettings settings = GatherInitSettings(l.settings, l.settingsFile, l.allSettings);
    if (!settings.problem.empty()) {
        return UsageError("init: " + settings.problem + "; nothing sent");
    }
    const std::size_t given = settings.values.size();
    return Conclude(out, l,
                    "send " + std::to_string(kInitParamCount) + " init settings (" +
                        std::to_string(given) + " given, " +
                        std::to_string(kInitParamCount - given) + " empty)",
                    Call([&] { return a.SetInitParamFace(settings.values); }));
}

void PrintResult(const ArrivedResult& r)
{
    std::printf("result: terminal %s, command %s -> %s (%s)\n", r.serial.c_str(), r.id.c_str(),
                r.code.c_str(), DescribeResultCode(r.code).c_str());
    std::fflush(stdout);
}

std::size_t CountResults(const std::map<std::string, std::map<std::string, std::string>>& all)
{
    std::size_t count = 0;
    for (const auto& entry : all) {
        count += entry.second.size();
    }
    return count;
}

json_object* ResultsJson(const std::map<std::string, std::map<std::string, std::string>>& all)
{
    json_object* list = json_object_new_array();
    for (const auto& [serial, entries] : all) {
        for (const auto& [id, code] : entries) {
            json_object* result = json_object_new_object();
            json_object_object_add(result, "serial", JsonText(serial));
            json_object_object_add(result, "id", JsonText(id));
            json_object_object_add(result, "code", JsonText(code));
            json_object_object_add(result, "meaning", JsonText(DescribeResultCode(code)));
            json_object_array_add(list, result);
        }
    }
    return list;
}

std::size_t CountNotDone(const std::map<std::string, std::map<std::string, std::string>>& all)
{
    std::size_t count = 0;
    for (const auto& entry : all) {
        for (const auto& result : entry.second) {
            count += result.second == result_code::kDone ? 0u : 1u;
        }
    }
    return count;
}

// The polling thread's failures are silent, so the gateway is asked once on this thread first:
// watching an unreachable gateway would only ever print "0 results".
Verdict Watch(Adapter& a, Output& out, const CommandLine& l)
{
    std::map<std::string, std::string> unused;
    const CallOutcome probe = Call([&] { return a.GetAvailableFace(unused); });
    if (!probe.ok) {
        return Conclude(out, l, "watch results", probe);
    }
    const PollWatch polls;
    CollectResults(a, out.Json() ? nullptr : &PrintResult);
    TakeAdapterLog();  // the probe's lines are not news
    out.Say("watching results for up to " + std::to_string(l.seconds) + " s");
    WaitForResults(std::chrono::seconds(l.seconds),
                   [&](const auto& all) { return l.expect > 0 && CountResults(all) >= l.expect; });
    StopCollecting(a);
    const auto all = ReceivedResults();
    json_object_object_add(out.Document(), "results", ResultsJson(all));
    const std::size_t count = CountResults(all);
    const std::size_t failed = CountNotDone(all);
    std::string message = std::to_string(count) + " result(s) received" + polls.LostWarning();
    if (l.expect > 0 && count < l.expect) {
        return Verdict{ExitCode::Refused,
                       message + ", fewer than the " + std::to_string(l.expect) + " expected"};
    }
    if (failed > 0) {
        return Verdict{ExitCode::Refused, message + ", " + std::to_string(failed) + " not 0"};
    }
    return Verdict{ExitCode::Success, message};
}

}  // namespace

void AddGatewayCommands(CLI::App& app, CommandLine& l)
{
    Subcommand(app, l, "available", "list the terminals the gateway knows", &Available);

    CLI::App* port =
        Subcommand(app, l, "set-port", "tell the gateway on which port to listen", &SetPort);
    port->add_option("PORT", l.listenPort, "listen port, 1 to 65535")->required();
    port->add_flag("--reset{1}", l.reset,
                   "ask the gateway to reset (sends reset 1; --reset=VALUE sends VALUE; "
                   "without it 0)");

    CLI::App* init = Subcommand(
        app, l, "init", "send the fourteen init settings; the gateway stores all of them at once",
        &Init);
    init->add_option("--set", l.settings, "KEY=VALUE, e.g. TimeOut=30; repeatable");
    init->add_option("--file", l.settingsFile, "a file of KEY=VALUE lines ('#' comments)");
    init->add_flag("--all", l.allSettings, "send the settings not given as empty values");

    CLI::App* watch =
        Subcommand(app, l, "watch-results", "print command results as they arrive", &Watch);
    watch->add_option("--seconds", l.seconds, "how long to watch")
        ->capture_default_str()
        ->check(CLI::PositiveNumber);
    watch->add_option("--expect", l.expect,
                      "stop once this many results arrived; exit 1 if fewer did");
}

}  // namespace facepad::cli
