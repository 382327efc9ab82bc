// The two programs as processes, the way a script uses them: the simulator started on a free
// port, driven with facepad-cli, stopped with a signal; its state across a restart and across a
// SIGKILL; the import of an earlier JSON state; and the refusals at start-up.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <memory>
#include <mutex>
#include <random>
#include <set>
#include <sstream>
#include <thread>

#include "child_process.h"
#include "facepad_protocol.h"
#include "gateway.h"
#include "sim_test_helpers.h"

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
    // Takes the queued results off the simulator, as the adapter's polling does.
    std::vector<simtest::Result> FetchResults() const
    {
        httplib::Client client("127.0.0.1", port);
        const auto reply = client.Post("/facepad/getresult", "", "text/plain");
        EXPECT_TRUE(reply && reply->status == 200);
        return reply ? simtest::ReadResultReply(reply->body) : std::vector<simtest::Result>();
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

// A state database path, removed with SQLite's companion files before and after the test.
struct ScratchState {
    explicit ScratchState(const std::string& name) : path(ScratchPath(name)) { Remove(); }
    ~ScratchState() { Remove(); }
    void Remove() const
    {
        for (const char* suffix : {"", "-wal", "-shm"}) {
            std::remove((path + suffix).c_str());
        }
    }
    const std::string path;
};

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

TEST(Programs, SimulatorRefusesToStartWithTheReasonAndLeavesAStateItCannotUseAlone)
{
    RunningSimulator holder({"--quiet"});
    ASSERT_GT(holder.port, 0);
    const std::string garbage = ScratchPath("garbage.db");
    std::ofstream(garbage) << "not a state";
    const std::string directory = ScratchPath("state_dir");
    mkdir(directory.c_str(), 0700);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::string reason;
    };
    const Case cases[] = {
        {{"--port", std::to_string(holder.port)},
         3,
         "cannot listen on 127.0.0.1:" + std::to_string(holder.port)},
        {{"--terminal", "A=B"}, 2, "terminal must be SN or SN:offline"},
        {{"--terminal", "T1", "--terminal", "T1:offline"}, 2, "terminal T1 is named twice"},
        {{"--status", "facepad/adduser"}, 2, "--status: expected ENDPOINT=STATUS"},
        {{"--status", "bogus=500"}, 2, "--status: no endpoint /facepad/bogus"},
        {{"--payload-cap", "0"}, 2, "--payload-cap must be at least 1 byte"},
        {{"--import-json", garbage}, 2, "--import-json needs --state"},
        {{"--port-file", directory + "/missing/port"}, 3, "cannot write the port file"},
        {{"--state", garbage}, 3, "not a SQLite database"},
        {{"--state", directory}, 3, "is not a regular file"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = {kSimulator};
        if (c.args[0] != "--port") {
            argv.insert(argv.end(), {"--port", "0"});
        }
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        const auto refused = RunToEnd(argv, 30s);
        EXPECT_EQ(refused.exitCode, c.exitCode) << c.args[0] << "\n" << refused.output;
        EXPECT_CONTAINS(refused.output, c.reason);
    }
    EXPECT_EQ(Contents(garbage), "not a state");
    std::remove(garbage.c_str());
    rmdir(directory.c_str());
    EXPECT_EQ(holder.Stop(SIGTERM), 0);
}

TEST(Programs, StateKeepsBindingsUsersAndUnfetchedResultsAcrossARestart)
{
    const ScratchState state("restart.db");
    {
        RunningSimulator first({"--terminal", "T1", "--state", state.path, "--quiet"});
        ASSERT_GT(first.port, 0);
        EXPECT_EQ(first.Tool({"bind", "T1", "4"}).exitCode, 0);
        EXPECT_EQ(
            first.Tool({"add-user", "T1", "--id", "1", "--pin", "2002", "--name", "Kept"}).exitCode,
            0);
        EXPECT_EQ(first.Stop(SIGINT), 0);
    }
    RunningSimulator second({"--terminal", "T1", "--state-file", state.path, "--quiet"});
    ASSERT_GT(second.port, 0);
    // Deleting the user succeeds only if it came back, and only on a terminal still bound.
    EXPECT_EQ(second.Tool({"del-user", "T1", "--id", "2", "--pin", "2002"}).exitCode, 0);
    EXPECT_EQ(second.FetchResults(),
              (std::vector<simtest::Result>{{"T1", "1", "0"}, {"T1", "2", "0"}}));
    EXPECT_EQ(second.Tool({"unbind", "T1"}).exitCode, 0);
    EXPECT_EQ(second.Stop(SIGTERM), 0);
}

TEST(Programs, EarlierJsonStateIsImportedIntoANewDatabase)
{
    const std::string json = ScratchPath("earlier.json");
    std::ofstream(json) << R"({"version":1,"listenPort":"10001","reset":"1","initParams":{},
        "terminals":[{"sn":"T1","ch":2,"users":[{"pin":"7","name":"Old","pri":0,"passwd":"",
        "verify":0,"card":"","vicecard":""}],"photos":[]}],"unlocks":[]})";
    const ScratchState state("imported.db");
    RunningSimulator sim(
        {"--terminal", "T1", "--state", state.path, "--import-json", json, "--quiet"});
    ASSERT_GT(sim.port, 0);
    EXPECT_EQ(sim.Tool({"del-user", "T1", "--id", "1", "--pin", "7"}).exitCode, 0);
    EXPECT_EQ(sim.FetchResults(), (std::vector<simtest::Result>{{"T1", "1", "0"}}));
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    // Once imported, the same command would mix the file into existing data: refused.
    const auto again =
        RunToEnd({kSimulator, "--port", "0", "--state", state.path, "--import-json", json}, 30s);
    EXPECT_EQ(again.exitCode, 3) << again.output;
    EXPECT_CONTAINS(again.output, "already exists");
    std::remove(json.c_str());
}

// Kills the simulator while a client keeps changing its state, several times over one database,
// then checks that every change answered 200 is still there.
TEST(Programs, EveryChangeAnswered200SurvivesASigkillAtARandomMoment)
{
    const ScratchState state("killed.db");
    std::mt19937 random(std::random_device{}());
    std::vector<std::string> answered;  // command ids (and pins) answered 200
    int nextId = 1;
    for (int round = 0; round < 3; ++round) {
        RunningSimulator sim({"--terminal", "T1", "--state", state.path, "--quiet"});
        ASSERT_GT(sim.port, 0);
        httplib::Client client("127.0.0.1", sim.port);
        const auto bound = client.Post("/facepad/binding", "SN=T1\tch=1", "text/plain");
        ASSERT_TRUE(bound && bound->status == 200);
        std::atomic<int> count{0};
        std::atomic<bool> refused{false};
        std::thread writer([&] {
            for (;;) {
                const std::string id = std::to_string(nextId++);
                const auto reply = client.Post(
                    "/facepad/adduser",
                    simtest::CommandBody("T1", id, simtest::UserJson(id, "U" + id)), "text/plain");
                if (!reply || reply->status != 200) {
                    refused = true;
                    return;
                }
                answered.push_back(id);
                ++count;
            }
        });
        const int killAfter = std::uniform_int_distribution<int>(1, 40)(random);
        while (count < killAfter && !refused) {
            std::this_thread::yield();
        }
        EXPECT_FALSE(refused) << "a request failed before the kill";
        sim.child->Signal(SIGKILL);
        writer.join();
        EXPECT_EQ(sim.child->WaitExit(30s), 128 + SIGKILL);
    }

    RunningSimulator restarted({"--terminal", "T1", "--state", state.path, "--quiet"});
    ASSERT_GT(restarted.port, 0);
    std::set<std::string> reported;
    for (const simtest::Result& result : restarted.FetchResults()) {
        EXPECT_EQ(result.code, facepad::result_code::kDone) << result.id;
        reported.insert(result.id);
    }
    EXPECT_EQ(restarted.Stop(SIGTERM), 0);
    const auto kept = facepad::sim::Gateway({}, state.path).State().Snapshot();
    const auto& users = kept.terminals.at("T1").users;
    for (const std::string& id : answered) {
        EXPECT_EQ(reported.count(id), 1u) << "result of command " << id << " lost";
        EXPECT_EQ(users.count(id), 1u) << "user " << id << " lost";
    }
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
