// The simulator as a process on a free port, and small helpers the process tests share.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "child_process.h"
#include "sim_test_helpers.h"

namespace simtest {

using namespace std::chrono_literals;

inline const std::string kSimulator = FACEPAD_SIM_BINARY;
inline const std::string kTool = FACEPAD_CLI_BINARY;
inline constexpr char kAnnouncement[] = "facepad-gateway-sim listening on http://127.0.0.1:";

// The words of `text`, split at spaces.
inline std::vector<std::string> Words(const std::string& text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string word; in >> word;) {
        words.push_back(word);
    }
    return words;
}

// How many times `part` occurs in `text`.
inline std::size_t Occurrences(const std::string& text, const std::string& part)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++count;
    }
    return count;
}

// Waits until `text()` holds `part` `count` times or `limit` passes; returns how often it does.
// Files and logs that another process writes give no event to wait on, hence the short naps.
inline std::size_t WaitForCount(const std::function<std::string()>& text, const std::string& part,
                                std::size_t count, std::chrono::seconds limit = 10s)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::size_t seen = Occurrences(text(), part);
    while (seen < count && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(5ms);
        seen = Occurrences(text(), part);
    }
    return seen;
}

// A simulator process on a free port, ready for requests.
class RunningSimulator {
public:
    explicit RunningSimulator(std::vector<std::string> extraArgs)
    {
        std::vector<std::string> argv = {kSimulator, "--port", "0"};
        argv.insert(argv.end(), extraArgs.begin(), extraArgs.end());
        child = std::make_unique<Child>(argv);
        const auto line = child->ReadLine(30s);
        if (!line || line->rfind(kAnnouncement, 0) != 0) {
            ADD_FAILURE() << "no announcement; got \"" << line.value_or("") << "\"\n"
                          << child->Stderr();
            return;
        }
        port = std::stoi(line->substr(sizeof kAnnouncement - 1));  // announced once it listens
    }
    std::vector<std::string> ToolArgv(std::vector<std::string> args) const
    {
        std::vector<std::string> argv = {kTool, "--port", std::to_string(port)};
        argv.insert(argv.end(), args.begin(), args.end());
        return argv;
    }
    Finished Tool(std::vector<std::string> args) const { return RunToEnd(ToolArgv(args), 60s); }
    // The simulator logs a request after answering it, so a tool may end before its line is
    // there: waits until `part` occurs `count` times (or 10 s pass) and returns how often it does.
    std::size_t LogCount(const std::string& part, std::size_t count) const
    {
        return WaitForCount([this] { return child->Stderr(); }, part, count);
    }
    // Signals the simulator and returns its exit code.
    std::optional<int> Stop(int signal)
    {
        child->Signal(signal);
        return child->WaitExit(30s);
    }

    std::unique_ptr<Child> child;
    int port = 0;
};

}  // namespace simtest

#define EXPECT_CONTAINS(text, part)                                                         \
    EXPECT_NE((text).find(part), std::string::npos) << "missing \"" << (part) << "\" in:\n" \
                                                    << (text)
