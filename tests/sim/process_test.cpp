// The two programs as processes, the way a script uses them: the simulator started on a free
// port, driven with facepad-cli, stopped with a signal; its state file across a restart; and the
// refusals of a bad command line or a busy port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>

#include "child_process.h"

namespace {

using namespace std::chrono_literals;
using simtest::Child;
using simtest::RunToEnd;

const std::string kSimulator = FACEPAD_SIM_BINARY;
const std::string kTool = FACEPAD_CLI_BINARY;
constexpr char kAnnouncement[] = "facepad-gateway-sim listening on http://127.0.0.1:";

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
        port = std::stoi(line->substr(sizeof kAnnouncement - 1));
        EXPECT_TRUE(simtest::PollConnect(port, 30s));
    }
    simtest::Finished Tool(std::vector<std::string> args) const
    {
        std::vector<std::string> argv = {kTool, "--port", std::to_string(port)};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunToEnd(argv, 60s);
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

std::string ScratchPath(const std::string& name)
{
    return ::testing::TempDir() + "facepad_process_" + std::to_string(::getpid()) + "_" + name;
}

std::string Contents(const std::string& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

#define EXPECT_CONTAINS(text, part)                                                         \
    EXPECT_NE((text).find(part), std::string::npos) << "missing \"" << (part) << "\" in:\n" \
                                                    << (text)

TEST(Programs, ToolDrivesTheSimulatorAndResultsComeBackThroughTheAdapter)
{
    RunningSimulator sim({"--terminal", "T1", "--terminal", "T2:offline"});
    ASSERT_GT(sim.port, 0);

    const auto bound = sim.Tool({"bind", "T1", "1"});
    EXPECT_EQ(bound.exitCode, 0) << bound.output;
    EXPECT_CONTAINS(bound.output, "bind T1 to channel 1: accepted by the gateway");

    const auto refused = sim.Tool({"bind", "T9", "1"});
    EXPECT_EQ(refused.exitCode, 1) << refused.output;
    EXPECT_CONTAINS(refused.output,
                    "VurodoroViri_Druvel::BindVurodoroViri Call GetLastPostStatus ret false");

    EXPECT_EQ(sim.Tool({"status", "T1"}).exitCode, 0);
    const auto offline = sim.Tool({"status", "T2"});
    EXPECT_EQ(offline.exitCode, 1);
    EXPECT_CONTAINS(offline.output, "terminal T2: not connected");

    EXPECT_EQ(sim.Tool({"add-user", "T1", "--id", "7", "--pin", "1001", "--name", "Ada"}).exitCode,
              0);
    EXPECT_EQ(sim.Tool({"unlock", "T1", "--id", "8"}).exitCode, 0);
    const auto watched = sim.Tool({"watch-results", "--seconds", "30", "--expect", "2"});
    EXPECT_EQ(watched.exitCode, 0) << watched.output;
    EXPECT_CONTAINS(watched.output, "result: terminal T1, command 7 -> 0 (done)");
    EXPECT_CONTAINS(watched.output, "result: terminal T1, command 8 -> 0 (done)");

    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    const std::string log = sim.child->Stderr();
    EXPECT_CONTAINS(log, "POST /facepad/binding 200");
    EXPECT_CONTAINS(log, "POST /facepad/binding 409 in=10B refused: unknown terminal T9");
    EXPECT_CONTAINS(log, "POST /facepad/getresult 200");
    EXPECT_CONTAINS(log, "facepad-gateway-sim stopped");
}

TEST(Programs, StateFileKeepsBindingsAndUsersAcrossARestart)
{
    const std::string stateFile = ScratchPath("state.json");
    std::remove(stateFile.c_str());
    {
        RunningSimulator first({"--terminal", "T1", "--state-file", stateFile, "--quiet"});
        ASSERT_GT(first.port, 0);
        EXPECT_EQ(first.Tool({"bind", "T1", "4"}).exitCode, 0);
        EXPECT_EQ(
            first.Tool({"add-user", "T1", "--id", "1", "--pin", "2002", "--name", "Kept"}).exitCode,
            0);
        EXPECT_EQ(first.Stop(SIGINT), 0);
    }
    RunningSimulator second({"--terminal", "T1", "--state-file", stateFile, "--quiet"});
    ASSERT_GT(second.port, 0);
    // Unbinding succeeds only for a bound terminal, so the binding came back from the file.
    const auto unbound = second.Tool({"unbind", "T1"});
    EXPECT_EQ(unbound.exitCode, 0) << unbound.output;
    // The file is rewritten after the unbind from what the restarted simulator holds.
    const std::string kept = Contents(stateFile);
    EXPECT_CONTAINS(kept, "\"pin\":\"2002\"");
    EXPECT_CONTAINS(kept, "\"name\":\"Kept\"");
    EXPECT_EQ(kept.find("\"ch\""), std::string::npos) << kept;
    EXPECT_EQ(second.Stop(SIGTERM), 0);
    std::remove(stateFile.c_str());
}

TEST(Programs, SimulatorRefusesABusyPortAndABadCommandLine)
{
    RunningSimulator holder({"--quiet"});
    ASSERT_GT(holder.port, 0);
    const auto busy = RunToEnd({kSimulator, "--port", std::to_string(holder.port)}, 30s);
    EXPECT_EQ(busy.exitCode, 3) << busy.output;
    EXPECT_CONTAINS(busy.output, "cannot listen on 127.0.0.1:" + std::to_string(holder.port));

    const auto badTerminal = RunToEnd({kSimulator, "--port", "0", "--terminal", "A=B"}, 30s);
    EXPECT_EQ(badTerminal.exitCode, 2);
    EXPECT_CONTAINS(badTerminal.output, "terminal must be SN or SN:offline");
    const auto badStatus =
        RunToEnd({kSimulator, "--port", "0", "--status", "facepad/adduser"}, 30s);
    EXPECT_EQ(badStatus.exitCode, 2);
    EXPECT_CONTAINS(badStatus.output, "--status: expected ENDPOINT=STATUS");

    const std::string brokenState = ScratchPath("broken.json");
    std::ofstream(brokenState) << "{not json";
    const auto broken = RunToEnd({kSimulator, "--port", "0", "--state-file", brokenState}, 30s);
    EXPECT_EQ(broken.exitCode, 3);
    EXPECT_CONTAINS(broken.output, "not overwritten");
    EXPECT_EQ(Contents(brokenState), "{not json");
    std::remove(brokenState.c_str());
    EXPECT_EQ(holder.Stop(SIGTERM), 0);
}

TEST(Programs, ToolReportsAMissingGatewayAndABadCommandLine)
{
    RunningSimulator sim({"--quiet"});
    ASSERT_GT(sim.port, 0);
    const int port = sim.port;
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    const auto absent = RunToEnd({kTool, "--port", std::to_string(port), "available"}, 30s);
    EXPECT_EQ(absent.exitCode, 1);
    EXPECT_CONTAINS(absent.output,
                    "VurodoroViri_Druvel::GetAvailableFace Call HttpPostRequest ret false");

    const auto incomplete = RunToEnd({kTool, "--port", std::to_string(port), "bind"}, 30s);
    EXPECT_EQ(incomplete.exitCode, 1);
    EXPECT_CONTAINS(incomplete.output, "SN is required");
}

}  // namespace
