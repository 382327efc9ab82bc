#include "command_result.h"

#include <chrono>

#include "facepad_protocol.h"
#include "result_watch.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

std::string ResultLine(const std::string& serial, const std::string& id, const std::string& code)
{
    return "result: terminal " + serial + ", command " + id + " -> " + code + " (" +
           DescribeResultCode(code) + ")";
}

}  // namespace

std::optional<int> WaitSeconds(const CommandLine& line)
{
    const auto seconds = ParseInt(line.waitText);
    return seconds && *seconds > 0 ? seconds : std::nullopt;
}

std::string WaitProblem(const CommandLine& line)
{
    if (!line.waitText.empty() && !WaitSeconds(line)) {
        return "the wait must be a whole number of seconds above 0, got \"" + line.waitText + "\"";
    }
    return std::string();
}

std::string PrepareResultWait(Adapter& adapter, const CommandLine& line)
{
    const std::string problem = WaitProblem(line);
    if (problem.empty() && WaitSeconds(line)) {
        CollectResults(adapter, nullptr);
    }
    return problem;
}

Verdict AwaitCommandResult(Output& out, Adapter& adapter, const CommandLine& line,
                           const std::string& serial, const std::string& id, Verdict sent)
{
    const auto seconds = WaitSeconds(line);
    if (!seconds) {
        return sent;
    }
    out.Say(sent.message);
    const PollWatch polls;
    const auto arrived = [&](const auto& all) {
        const auto terminal = all.find(serial);
        return terminal != all.end() && terminal->second.count(id) > 0;
    };
    WaitForResults(std::chrono::seconds(*seconds), arrived);
    StopCollecting(adapter);
    std::string code;
    for (const auto& [terminal, entries] : ReceivedResults()) {
        for (const auto& [command, result] : entries) {
            if (terminal == serial && command == id) {
                code = result;
            } else {
                out.Say("also taken off the gateway, for nobody else to see: " +
                        ResultLine(terminal, command, result));
            }
        }
    }
    const std::string none = "no result for command " + id + " on " + serial + " within " +
                             std::to_string(*seconds) + " s" + polls.LostWarning();
    if (code.empty() && sent.code != ExitCode::Success) {
        return Verdict{sent.code, none + ": whether it was carried out is not known"};
    }
    if (code.empty()) {
        return Verdict{ExitCode::Refused, none};
    }
    out.Set("result", code);
    out.Set("meaning", DescribeResultCode(code));
    return Verdict{code == result_code::kDone ? ExitCode::Success : ExitCode::Refused,
                   ResultLine(serial, id, code)};
}

}  // namespace facepad::cli
