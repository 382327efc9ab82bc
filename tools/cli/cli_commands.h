// The tool's subcommands: each drives one adapter operation and prints what came of it.
#pragma once

#include <CLI/CLI.hpp>
#include <functional>
#include <string>
#include <vector>

namespace Osmer_Framework::Face {
class VurodoroViri_Druvel;
}

namespace facepad::cli {

using Adapter = Osmer_Framework::Face::VurodoroViri_Druvel;

// What the command line filled in; each subcommand reads the fields it declared.
struct CommandLine {
    std::string url = "http://127.0.0.1";
    int port = 10001;
    bool verbose = false;

    std::string serial;
    std::string id;
    int channel = 0;
    std::string pin;
    std::string name;
    int pri = 0;
    std::string passwd;
    int verify = 0;
    std::string card;
    std::string vicecard;
    std::string photoFile;
    int photoType = 9;
    int photoFormat = 0;
    std::string photoUrl;
    std::string listenPort;
    std::string reset = "1";
    std::vector<std::string> settings;
    int seconds = 10;
    std::size_t expect = 0;

    // Set by the chosen subcommand: runs the operation, prints the outcome, true for success.
    std::function<bool(Adapter&)> action;
};

// Declares every subcommand on `app`; the one chosen sets `line.action`.
void AddSubcommands(CLI::App& app, CommandLine& line);

}  // namespace facepad::cli
