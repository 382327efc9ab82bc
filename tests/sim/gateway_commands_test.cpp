// The simulated gateway's state machine, driven through Gateway::Handle with the bodies the adapter
// sends: what each command changes, which result code it queues, and how replies are shaped.
#include <gtest/gtest.h>

#include <optional>

#include "facepad_protocol.h"
#include "gateway.h"
#include "gateway_replies.h"
#include "sim_test_helpers.h"

namespace {

namespace endpoint = facepad::endpoint;
namespace code = facepad::result_code;
using facepad::sim::Gateway;
using facepad::sim::Reply;
using simtest::CommandBody;
using simtest::DrainResults;
using simtest::PinJson;
using simtest::Result;
using simtest::UserJson;

class GatewayCommands : public ::testing::Test {
protected:
    Reply Post(const std::string& path, const std::string& body)
    {
        return gateway.Handle(path, body);
    }
    void Bind(const std::string& serial, int channel = 1)
    {
        ASSERT_EQ(
            Post(endpoint::kBinding, "SN=" + serial + "\tch=" + std::to_string(channel)).status,
            200);
    }
    std::string AddUser(const std::string& serial, const std::string& id, const std::string& pin)
    {
        const Reply reply = Post(endpoint::kAddUser, CommandBody(serial, id, UserJson(pin, "Ada")));
        EXPECT_EQ(reply.status, 200) << reply.body;
        return reply.body;
    }
    facepad::sim::GatewayData Data() { return gateway.State().Snapshot(); }

    Gateway gateway{{{"T1", true}, {"T2", true}, {"OFF", false}}};
};

TEST_F(GatewayCommands, CommandsForUnboundUnknownOrOfflineTerminalsChangeNothing)
{
    Bind("OFF");
    AddUser("T1", "1", "1001");   // known, not bound
    AddUser("T9", "2", "1001");   // unknown
    AddUser("OFF", "3", "1001");  // bound, not connected
    EXPECT_EQ(Post(endpoint::kControlDevice, "SN=T1\tid=4\tcmd=AC_UNLOCK\tdata=").status, 200);
    // Grouped per terminal, terminals in the order they first reported.
    EXPECT_EQ(DrainResults(gateway), (std::vector<Result>{{"T1", "1", code::kTerminalNotBound},
                                                          {"T1", "4", code::kTerminalNotBound},
                                                          {"T9", "2", code::kTerminalNotBound},
                                                          {"OFF", "3", code::kTerminalOffline}}));
    const auto data = Data();
    EXPECT_TRUE(data.terminals.at("T1").users.empty());
    EXPECT_TRUE(data.terminals.at("OFF").users.empty());
    EXPECT_EQ(data.terminals.count("T9"), 0u);
    EXPECT_TRUE(data.unlocks.empty());
}

TEST_F(GatewayCommands, UsersBelongToTheirTerminalAndDeletingOneTakesItsPhotosAlong)
{
    Bind("T1");
    Bind("T2", 2);
    AddUser("T1", "1", "1001");
    AddUser("T2", "2", "1001");
    Post(endpoint::kSetBioPhoto, CommandBody("T1", "3", simtest::PhotoJson("1001", 9, "QUJD")));
    Post(endpoint::kDelUser, CommandBody("T1", "4", PinJson("1001")));
    Post(endpoint::kDelUser, CommandBody("T1", "5", PinJson("1001")));
    EXPECT_EQ(DrainResults(gateway), (std::vector<Result>{{"T1", "1", code::kDone},
                                                          {"T1", "3", code::kDone},
                                                          {"T1", "4", code::kDone},
                                                          {"T1", "5", code::kUserUnknown},
                                                          {"T2", "2", code::kDone}}));
    const auto data = Data();
    EXPECT_TRUE(data.terminals.at("T1").users.empty());
    EXPECT_TRUE(data.terminals.at("T1").photos.empty());
    EXPECT_EQ(data.terminals.at("T2").users.count("1001"), 1u);
}

TEST_F(GatewayCommands, PhotosNeedAnExistingUserAndContentOrUrl)
{
    Bind("T1");
    AddUser("T1", "1", "1001");
    DrainResults(gateway);
    Post(endpoint::kSetBioPhoto, CommandBody("T1", "2", simtest::PhotoJson("9999", 9, "QUJD")));
    Post(endpoint::kSetBioPhoto, CommandBody("T1", "3", simtest::PhotoJson("1001", 9, "")));
    Post(endpoint::kSetBioPhoto,
         CommandBody("T1", "4", simtest::PhotoJson("1001", 9, "", "http://p/1.jpg")));
    Post(endpoint::kSetBioPhoto, CommandBody("T1", "5", simtest::PhotoJson("1001", 2, "QUJD")));
    Post(endpoint::kDelBioPhoto, CommandBody("T1", "6", PinJson("1001")));
    Post(endpoint::kDelBioPhoto, CommandBody("T1", "7", PinJson("1001")));
    Post(endpoint::kDelBioPhoto, CommandBody("T1", "8", PinJson("9999")));
    EXPECT_EQ(DrainResults(gateway), (std::vector<Result>{{"T1", "2", code::kUserUnknown},
                                                          {"T1", "3", code::kInvalidValue},
                                                          {"T1", "4", code::kDone},
                                                          {"T1", "5", code::kDone},
                                                          {"T1", "6", code::kDone},
                                                          {"T1", "7", code::kPhotoUnknown},
                                                          {"T1", "8", code::kUserUnknown}}));
}

TEST_F(GatewayCommands, EmptyPinIsAnInvalidValueAndAddingAnExistingPinUpdatesIt)
{
    Bind("T1");
    AddUser("T1", "1", "");
    AddUser("T1", "2", "1001");
    Post(endpoint::kAddUser, CommandBody("T1", "3", UserJson("1001", "Grace")));
    EXPECT_EQ(DrainResults(gateway), (std::vector<Result>{{"T1", "1", code::kInvalidValue},
                                                          {"T1", "2", code::kDone},
                                                          {"T1", "3", code::kDone}}));
    const auto users = Data().terminals.at("T1").users;
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users.at("1001").name, "Grace");
}

TEST_F(GatewayCommands, ResultsAreHandedOutOnceWithOneElementPerTerminal)
{
    Bind("T1");
    Bind("T2", 2);
    AddUser("T1", "1", "1001");
    AddUser("T2", "2", "1001");
    AddUser("T1", "3", "1002");
    const Reply reply = Post(endpoint::kGetResult, "");
    ASSERT_EQ(reply.status, 200);
    // The adapter replaces a terminal's entries with every element naming it, so one element per
    // terminal must carry all of that terminal's entries.
    EXPECT_EQ(reply.body.rfind("result=[{\"SN\":\"T1\",\"data\":", 0), 0u) << reply.body;
    EXPECT_EQ(reply.body.find("\"SN\":\"T1\""), reply.body.rfind("\"SN\":\"T1\"")) << reply.body;
    EXPECT_EQ(simtest::ReadResultReply(reply.body),
              (std::vector<Result>{
                  {"T1", "1", code::kDone}, {"T1", "3", code::kDone}, {"T2", "2", code::kDone}}));
    EXPECT_EQ(Post(endpoint::kGetResult, "").body, "result=[]");
}

// A backlog larger than the adapter's reply cap is handed out in batches, oldest first, each once.
TEST_F(GatewayCommands, ResultBacklogIsHandedOutInBoundedBatches)
{
    using facepad::sim::ResultBatchLimits;
    struct Case {
        const char* name;
        int commands;
        std::string idPrefix;
        std::optional<ResultBatchLimits> limits;  // none: the endpoint's own
        std::vector<std::size_t> batches;
    };
    const std::string escaped(30000, '\x01');  // each byte 7 in the reply: four fit in 1 MiB
    const Case cases[] = {
        {"by count", 7, "", ResultBatchLimits{3, 1 << 20}, {3, 3, 1}},
        {"by bytes, the endpoint's cap", 9, escaped, std::nullopt, {4, 4, 1}},
        {"one larger than the cap", 2, std::string(2000, 'x'), ResultBatchLimits{10, 1000}, {1, 1}},
    };
    for (const Case& c : cases) {
        gateway.State().Reset();
        Bind("T1");
        std::vector<Result> queued;
        for (int i = 0; i < c.commands; ++i) {
            const std::string id = c.idPrefix + std::to_string(i);
            AddUser("T1", id, std::to_string(i));
            queued.push_back({"T1", id, code::kDone});
        }
        std::vector<Result> handedOut;
        std::vector<std::size_t> batches;
        for (std::string reply; reply != "result=[]";) {
            reply = c.limits
                        ? facepad::sim::FormatResultReply(gateway.State().DrainResults(*c.limits))
                        : Post(endpoint::kGetResult, "").body;
            const auto batch = simtest::ReadResultReply(reply);
            if (!batch.empty()) {
                batches.push_back(batch.size());
                EXPECT_TRUE(batch.size() == 1 ||
                            reply.size() <= c.limits.value_or(ResultBatchLimits{}).bytes)
                    << c.name << ": " << reply.size() << " bytes";
            }
            handedOut.insert(handedOut.end(), batch.begin(), batch.end());
        }
        EXPECT_EQ(batches, c.batches) << c.name;
        EXPECT_TRUE(handedOut == queued) << c.name;
    }
}

TEST_F(GatewayCommands, AvailableTerminalsListConnectionAndBinding)
{
    Bind("T2", 5);
    const Reply reply = Post(endpoint::kGetAvailable, "");
    EXPECT_EQ(reply.status, 200);
    EXPECT_EQ(reply.body,
              "Data=[{\"sn\":\"OFF\",\"connstatus\":0,\"bound\":false},"
              "{\"sn\":\"T1\",\"connstatus\":1,\"bound\":false},"
              "{\"sn\":\"T2\",\"connstatus\":1,\"bound\":true,\"ch\":5}]");
}

}  // namespace
