#include "sync_terminals.h"

#include <VurodoroViri_Options.h>

#include <algorithm>
#include <map>

#include "facepad_protocol.h"
#include "file_checks.h"
#include "gateway_call.h"
#include "status_lists.h"
#include "text_checks.h"

namespace facepad::cli {

namespace {

std::string Trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return std::string();
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

void AddOnce(std::vector<std::string>& serials, const std::string& serial)
{
    if (std::find(serials.begin(), serials.end(), serial) == serials.end()) {
        serials.push_back(serial);
    }
}

}  // namespace

std::string SerialProblem(const std::string& serial)
{
    if (serial.empty() || HasControlCharacter(serial) || !IsValidUtf8(serial)) {
        return "bad terminal serial \"" + serial + "\"";
    }
    return std::string();
}

std::string ReadTerminalFile(const std::string& path, std::vector<std::string>& serials)
{
    std::ifstream in;
    const std::string problem = OpenTextInput(path, in);
    if (!problem.empty()) {
        return path + ": " + problem;
    }
    std::string text;
    for (std::size_t line = 1; std::getline(in, text); ++line) {
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        const std::string serial = Trimmed(text);
        if (serial.empty() || serial[0] == '#') {
            continue;
        }
        std::string bad = SerialProblem(serial);
        if (bad.empty() && serial.find(',') != std::string::npos) {
            bad = "\"" + serial + "\": one serial a line";
        }
        if (!bad.empty()) {
            return path + ":" + std::to_string(line) + ": " + bad;
        }
        AddOnce(serials, serial);
    }
    return std::string();
}

// The whole list, through the options header: the diagnostics keep only a reply's first 4 KiB.
TerminalCheck FindUnknownTerminals(Adapter& adapter, const CommandLine& line,
                                   const std::vector<std::string>& serials)
{
    TerminalCheck check;
    std::string reply;
    const CallOutcome outcome =
        Call([&] { return Osmer_Framework::Face::VurodoroViri_GetAvailableReply(adapter, reply); });
    if (!outcome.ok) {
        // A proxy's answer to a question carried nothing out, whatever it says of commands.
        const bool proxy =
            outcome.exchange == Osmer_Framework::Face::VurodoroViri_ExchangeOutcome::ProxyError;
        check.failure = Verdict{
            CodeFor(outcome), "cannot ask the gateway for its terminals: " +
                                  (proxy ? "HTTP " + outcome.status + " from a proxy in front of it"
                                         : Reason(outcome, line))};
        return check;
    }
    const auto list = ReadTerminalList(reply);
    if (!list) {
        check.failure = Verdict{ExitCode::Refused,
                                std::string("the gateway's answer to ") + endpoint::kGetAvailable +
                                    " holds no terminal list, so the serials cannot be checked"};
        return check;
    }
    std::map<std::string, bool> known;  // serial -> not bound, as far as the list says
    for (const TerminalEntry& terminal : *list) {
        known.emplace(terminal.serial, terminal.bound.has_value() && !*terminal.bound);
    }
    for (const std::string& serial : serials) {
        const auto found = known.find(serial);
        if (found == known.end()) {
            check.unknown.push_back(serial);
        } else if (found->second) {
            check.unbound.push_back(serial);
        }
    }
    return check;
}

}  // namespace facepad::cli
