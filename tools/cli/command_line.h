// What the command line filled in, and the exit codes every subcommand shares.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "facepad_protocol.h"
#include "record_limits.h"
#include "record_params.h"

namespace Osmer_Framework::Face {
class VurodoroViri_Druvel;
}

namespace facepad::cli {

using Adapter = Osmer_Framework::Face::VurodoroViri_Druvel;
class Output;

// Documented in docs/cli.md; scripts branch on them.
enum class ExitCode : int {
    Success = 0,
    Refused = 1,        // the gateway or a terminal said no
    Warnings = 1,       // doctor: reachable, but something will bite
    Usage = 2,          // the command line or an input file is wrong; nothing was sent
    Unreachable = 3,    // no usable answer from the gateway
    JournalFailed = 4,  // a sync's journal could not be written: sending stopped at once
    Interrupted = 130,
};

// How a subcommand ended: the exit code and one sentence saying why.
struct Verdict {
    ExitCode code = ExitCode::Success;
    std::string message;
};

// Global options first; each subcommand reads the fields it declared.
struct CommandLine {
    // The simulator's address unless told otherwise.
    std::string url = std::string("http://") + kDefaultHost;
    int port = kDefaultPort;
    bool verbose = false;
    bool json = false;
    bool jsonSummary = false;    // --json=summary: a sync's document without its list of every pair
    std::string jsonForm;        // --json as given: "" when absent, "all" or "summary"
    int timeoutSeconds = 0;      // 0: the adapter's own limits (at most 30 s per exchange)
    bool fastFirstPoll = false;  // accepted and ignored: the tool polls at once when it waits
    // --wait or --wait-results as given: "" when absent, "30" without a value, else the value.
    std::string waitText;

    std::string serial;
    std::string id;
    int channel = 0;
    UserRecord user;        // add-user's members; the other record commands read only the pin
    bool textPins = false;  // pins are text (1 and 01 two users), not numbers
    std::string photoFile;
    int photoType = 9;
    int photoFormat = 0;
    std::string photoUrl;
    std::size_t maxPhotoBytes = 8u * 1024u * 1024u;
    std::string listenPort;
    std::string reset = "0";
    std::vector<std::string> settings;
    std::string settingsFile;
    bool allSettings = false;
    int seconds = 10;
    std::size_t expect = 0;
    int idleSeconds = 10;  // doctor: how long it holds an idle connection
    bool maxBody = false;  // doctor: probe the largest body accepted

    std::string csvFile;
    std::vector<std::string> terminals;  // -t, comma lists split
    std::vector<std::string> terminalFiles;
    bool skipTerminalCheck = false;
    std::size_t jobs = 8;
    bool allowMissingColumns = false;
    std::string reportFile;
    std::string journalFile;
    std::string retryReport;
    bool dryRun = false;
    bool resendUnconfirmed = false;
    bool progress = true;
    // The command line as given, for the exact command a run names as the next step; a gateway
    // taken from FACEPAD_GATEWAY is written into it as --url and --port, so that the command
    // reaches the same gateway from any shell.
    std::vector<std::string> argv;

    // Set by the chosen subcommand: its name and its work, which checks its input before it
    // sends anything.
    std::string command;
    std::function<Verdict(Adapter&, Output&)> action;

    const std::string& Pin() const { return user[kPinMember]; }
    PinKind Pins() const { return textPins ? PinKind::Text : PinKind::Number; }
};

}  // namespace facepad::cli
