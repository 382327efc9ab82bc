// The state file: what survives a restart, and how a file the simulator cannot use is refused.
#include "state_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>

#include "facepad_protocol.h"
#include "gateway.h"
#include "sim_test_helpers.h"

namespace {

namespace endpoint = facepad::endpoint;
using facepad::sim::Gateway;
using facepad::sim::GatewayData;
using facepad::sim::LoadStateFile;
using facepad::sim::SaveStateFile;
using facepad::sim::StateFromJson;
using facepad::sim::StateToJson;

// A gateway that has seen one of every kind of change.
void FillWithEverything(Gateway& gateway)
{
    gateway.Handle(endpoint::kBinding, "SN=T1\tch=3");
    gateway.Handle(
        endpoint::kAddUser,
        simtest::CommandBody("T1", "1", simtest::UserJson("1001", "Ada \\\"A\\\"", 2, 1)));
    gateway.Handle(
        endpoint::kSetBioPhoto,
        simtest::CommandBody("T1", "2", simtest::PhotoJson("1001", 9, "QUJD", "http://x/y")));
    gateway.Handle(endpoint::kControlDevice, "SN=T1\tid=3\tcmd=AC_UNLOCK\tdata=");
    gateway.Handle(endpoint::kSetPort, "port=10005\treset0");
    gateway.Handle(endpoint::kSetInitParam, simtest::InitBody("30"));
}

std::string ScratchPath(const std::string& name)
{
    return ::testing::TempDir() + "facepad_sim_" + std::to_string(::getpid()) + "_" + name;
}

TEST(StateFile, EverythingKeptSurvivesTheRoundTrip)
{
    Gateway original{{{"T1", true}}};
    FillWithEverything(original);
    const GatewayData before = original.State().Snapshot();
    const auto decoded = StateFromJson(StateToJson(before));
    ASSERT_TRUE(decoded.ok()) << decoded.error;
    const GatewayData& after = decoded.value;
    const auto& user = after.terminals.at("T1").users.at("1001");
    EXPECT_EQ(user.name, "Ada \"A\"");
    EXPECT_EQ(user.pri, 2);
    EXPECT_EQ(user.verify, 1);
    const auto& photo = after.terminals.at("T1").photos.at("1001").at(9);
    EXPECT_EQ(photo.content, "QUJD");
    EXPECT_EQ(photo.url, "http://x/y");
    EXPECT_EQ(after.terminals.at("T1").channel, 3);
    EXPECT_EQ(after.listenPort, "10005");
    EXPECT_EQ(after.resetValue, "0");
    EXPECT_EQ(after.initParams, before.initParams);
    ASSERT_EQ(after.unlocks.size(), 1u);
    EXPECT_EQ(after.unlocks[0].commandId, "3");
    EXPECT_EQ(StateToJson(after), StateToJson(before));
}

TEST(StateFile, RestoreKeepsCommandLineConnectionsAndAddsStrangersOffline)
{
    Gateway original{{{"T1", true}, {"GONE", true}}};
    FillWithEverything(original);
    original.Handle(endpoint::kBinding, "SN=GONE\tch=4");
    Gateway restarted{{{"T1", false}, {"NEW", true}}};
    restarted.Handle(endpoint::kBinding, "SN=NEW\tch=1");
    restarted.Handle(endpoint::kAddUser,
                     simtest::CommandBody("NEW", "9", simtest::UserJson("1", "x")));
    restarted.State().Restore(original.State().Snapshot());

    const GatewayData data = restarted.State().Snapshot();
    EXPECT_FALSE(data.terminals.at("T1").connected) << "the command line decides connections";
    EXPECT_EQ(data.terminals.at("T1").users.count("1001"), 1u);
    EXPECT_FALSE(data.terminals.at("GONE").connected);
    EXPECT_EQ(data.terminals.at("GONE").channel, 4);
    EXPECT_TRUE(data.terminals.at("NEW").connected);
    // Results queued before the restore are still handed out.
    EXPECT_EQ(simtest::DrainResults(restarted).size(), 1u);
}

TEST(StateFile, DocumentsItDidNotWriteAreRefusedWithTheReason)
{
    const std::pair<std::string, std::string> cases[] = {
        {"", "not JSON"},
        {"[]", "not a version 1 state document"},
        {"{\"version\":2}", "not a version 1 state document"},
        {"{\"version\":1}", "member \"listenPort\""},
        {"{\"version\":1,\"listenPort\":\"\",\"reset\":\"\",\"initParams\":{},\"terminals\":[1]}",
         "an element of \"terminals\" is not an object"},
        {"{\"version\":1,\"listenPort\":\"\",\"reset\":\"\",\"initParams\":{},\"terminals\":"
         "[{\"sn\":\"T1\",\"users\":[{\"pin\":1}],\"photos\":[]}],\"unlocks\":[]}",
         "member \"pin\""},
    };
    for (const auto& [text, reason] : cases) {
        const auto decoded = StateFromJson(text);
        EXPECT_NE(decoded.error.find(reason), std::string::npos)
            << text << " gave \"" << decoded.error << "\"";
    }
}

TEST(StateFile, SavedFileLoadsAgainAndMissingFileMeansAFreshStart)
{
    const std::string path = ScratchPath("state.json");
    std::remove(path.c_str());
    EXPECT_FALSE(LoadStateFile(path).found);

    Gateway gateway{{{"T1", true}}};
    FillWithEverything(gateway);
    ASSERT_EQ(SaveStateFile(path, gateway.State().Snapshot()), "");
    const auto loaded = LoadStateFile(path);
    EXPECT_TRUE(loaded.found);
    EXPECT_EQ(loaded.error, "");
    EXPECT_EQ(StateToJson(loaded.data), StateToJson(gateway.State().Snapshot()));

    std::ofstream(path) << "{broken";
    const auto broken = LoadStateFile(path);
    EXPECT_TRUE(broken.found);
    EXPECT_NE(broken.error.find(path), std::string::npos) << broken.error;
    std::remove(path.c_str());
}

TEST(StateFile, SavingIntoAMissingDirectoryReportsIt)
{
    const std::string error = SaveStateFile(ScratchPath("no/such/dir/state.json"), GatewayData{});
    EXPECT_NE(error.find("cannot write"), std::string::npos) << error;
}

}  // namespace
