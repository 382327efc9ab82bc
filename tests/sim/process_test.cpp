// The simulator as a process, the way a script uses it: started on a free port, stopped with a
// signal; its state across a SIGKILL; and the refusals at start-up. facepad-cli's own tests are in
// cli_test.cpp.
#include <httplib.h>

#include <atomic>
#include <csignal>
#include <random>
#include <set>
#include <thread>

#include "child_process.h"
#include "gateway_test.h"
#include "running_simulator.h"

namespace {

using simtest::kSimulator;
using simtest::RunningSimulator;
using simtest::RunToEnd;

TEST(Programs, SimulatorRefusesToStartWithTheReasonAndLeavesAStateItCannotUseAlone)
{
    const Scratch held("held.db");
    RunningSimulator holder({"--quiet", "--state", held.path});
    ASSERT_GT(holder.port, 0);
    const Scratch garbageFile("garbage.db", "not a state");
    const std::string& garbage = garbageFile.path;
    const Scratch earlierJson("earlier.json", "{\"version\":1,\"terminals\":[]}");
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
        {{"--terminal", ":offline"}, 2, "terminal must be SN or SN:offline"},
        {{"--terminal", "T1", "--terminal", "T1:offline"}, 2, "terminal T1 is named twice"},
        {{"--status", "facepad/adduser"}, 2, "--status: expected ENDPOINT=STATUS"},
        {{"--status", "bogus=500"}, 2, "--status: no endpoint /facepad/bogus"},
        {{"--payload-cap", "0"}, 2, "--payload-cap must be at least 1 byte"},
        {{"--port-file", garbage + "/port"}, 3, "cannot write the port file"},
        {{"--state", earlierJson.path}, 3, "is a JSON state file of an earlier simulator"},
        {{"--state", held.path},
         3,
         held.path + " is in use by another facepad-gateway-sim, process " +
             std::to_string(holder.child->Pid())},
        {{"--upstream", "http://127.0.0.1/x"}, 2, "--upstream must be http://HOST:PORT"},
        {{"--record", garbage}, 2, "--record needs --upstream"},
        {{"--replay", garbage}, 3, garbage + ":1: not a recorded exchange"},
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
    EXPECT_EQ(garbageFile.Contents(), "not a state");
    EXPECT_EQ(earlierJson.Contents(), "{\"version\":1,\"terminals\":[]}");
    EXPECT_EQ(holder.Stop(SIGTERM), 0);
}

// Kills the simulator while a client keeps changing its state, several times over one database,
// then checks that every change answered 200 is still there.
TEST(Programs, EveryChangeAnswered200SurvivesASigkillAtARandomMoment)
{
    const Scratch state("killed.db");
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
    const auto fetched = httplib::Client("127.0.0.1", restarted.port).Post("/facepad/getresult");
    ASSERT_TRUE(fetched);
    for (const simtest::Result& result : simtest::ReadResultReply(fetched->body)) {
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

}  // namespace
