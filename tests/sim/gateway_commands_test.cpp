// The simulated gateway's state machine, driven through Gateway::Handle with the bodies the adapter
// sends: what each command changes, which result code it queues, and how replies are shaped.

#include <algorithm>
#include <iterator>
#include <optional>

#include "gateway_replies.h"
#include "gateway_test.h"

namespace {

using facepad::sim::Reply;

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

    Gateway gateway{{{"T1", true}, {"T2", true}, {"T3", true}, {"OFF", false}}};
};

// Each command queues its terminal's outcome: users belong to their terminal, an existing pin is
// updated, a photo needs its user and content or a url, deleting a user takes its photos along,
// and on an unbound, unknown or offline terminal a command changes nothing.
TEST_F(GatewayCommands, CommandsQueueTheTerminalsOutcome)
{
    Bind("T1");
    Bind("T2", 2);
    Bind("OFF");
    struct Case {
        const char* path;
        const char* serial;
        std::string json;
        const char* code;
    };
    const Case cases[] = {
        {endpoint::kAddUser, "T1", UserJson("", "Ada"), code::kInvalidValue},
        {endpoint::kAddUser, "T1", UserJson("1001", "Ada"), code::kDone},
        {endpoint::kAddUser, "T2", UserJson("1001", "Ada"), code::kDone},
        {endpoint::kAddUser, "T2", UserJson("1001", "Grace"), code::kDone},
        {endpoint::kSetBioPhoto, "T1", PhotoJson("9999", 9, "QUJD"), code::kUserUnknown},
        {endpoint::kSetBioPhoto, "T1", PhotoJson("1001", 9, ""), code::kInvalidValue},
        {endpoint::kSetBioPhoto, "T1", PhotoJson("1001", 9, "", "http://p/1.jpg"), code::kDone},
        {endpoint::kSetBioPhoto, "T1", PhotoJson("1001", 2, "QUJD"), code::kDone},
        {endpoint::kDelBioPhoto, "T1", PinJson("1001"), code::kDone},
        {endpoint::kDelBioPhoto, "T1", PinJson("1001"), code::kPhotoUnknown},
        {endpoint::kDelBioPhoto, "T1", PinJson("9999"), code::kUserUnknown},
        {endpoint::kSetBioPhoto, "T1", PhotoJson("1001", 9, "QUJD"), code::kDone},
        {endpoint::kDelUser, "T1", PinJson("1001"), code::kDone},
        {endpoint::kDelUser, "T1", PinJson("1001"), code::kUserUnknown},
        {endpoint::kAddUser, "T3", UserJson("1001", "Ada"), code::kTerminalNotBound},
        {endpoint::kControlDevice, "T3", "", code::kTerminalNotBound},
        {endpoint::kAddUser, "T9", UserJson("1001", "Ada"), code::kTerminalNotBound},
        {endpoint::kAddUser, "OFF", UserJson("1001", "Ada"), code::kTerminalOffline},
    };
    std::vector<Result> expected;
    for (const char* terminal :
         {"T1", "T2", "T3", "T9", "OFF"}) {  // one element per terminal, in first-seen order
        for (std::size_t i = 0; i < std::size(cases); ++i) {
            const Case& c = cases[i];
            if (std::string(c.serial) == terminal) {
                expected.push_back({c.serial, std::to_string(i), c.code});
            }
        }
    }
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        const Case& c = cases[i];
        const std::string body = std::string(c.path) == endpoint::kControlDevice
                                     ? "SN=" + std::string(c.serial) + "\tid=" + std::to_string(i) +
                                           "\tcmd=AC_UNLOCK\tdata="
                                     : CommandBody(c.serial, std::to_string(i), c.json);
        EXPECT_EQ(Post(c.path, body).status, 200);
    }
    EXPECT_EQ(DrainResults(gateway), expected);
    const auto data = Data();
    EXPECT_TRUE(data.terminals.at("T1").users.empty());
    EXPECT_TRUE(data.terminals.at("T1").photos.empty());
    ASSERT_EQ(data.terminals.at("T2").users.size(), 1u);
    EXPECT_EQ(data.terminals.at("T2").users.at("1001").name, "Grace");
    EXPECT_TRUE(data.terminals.at("T3").users.empty());
    EXPECT_TRUE(data.terminals.at("OFF").users.empty());
    EXPECT_EQ(data.terminals.count("T9"), 0u);
    EXPECT_TRUE(data.unlocks.empty());
}

// A backlog larger than the adapter's reply cap is handed out in batches, oldest first, each once.
// The adapter replaces a terminal's entries with every element naming it, so a batch holds one
// element per terminal, carrying all of that terminal's entries.
TEST_F(GatewayCommands, ResultsAreHandedOutOnceInBoundedBatchesWithOneElementPerTerminal)
{
    using facepad::sim::ResultBatchLimits;
    struct Case {
        const char* name;
        int commands;  // sent round-robin to the terminals
        std::vector<std::string> terminals;
        std::string idPrefix;
        std::optional<ResultBatchLimits> limits;  // none: the endpoint's own
        std::vector<std::size_t> batches;
    };
    const std::string escaped(30000, '\x01');  // each byte 7 in the reply: four fit in 1 MiB
    const std::string long2000(2000, 'x');
    const Case cases[] = {
        {"two terminals", 3, {"T1", "T2"}, "", std::nullopt, {3}},
        {"by count", 7, {"T1"}, "", ResultBatchLimits{3, 1 << 20}, {3, 3, 1}},
        {"by bytes, the endpoint's cap", 9, {"T1"}, escaped, std::nullopt, {4, 4, 1}},
        {"one larger than the cap", 2, {"T1"}, long2000, ResultBatchLimits{10, 1000}, {1, 1}},
    };
    for (const Case& c : cases) {
        gateway.State().Reset();
        Bind("T1");
        Bind("T2", 2);
        std::vector<Result> queued;
        for (int i = 0; i < c.commands; ++i) {
            const auto serial = c.terminals[static_cast<std::size_t>(i) % c.terminals.size()];
            AddUser(serial, c.idPrefix + std::to_string(i), std::to_string(i));
            queued.push_back({serial, c.idPrefix + std::to_string(i), code::kDone});
        }
        // Grouped per terminal, terminals in the order they first reported.
        std::stable_sort(queued.begin(), queued.end(),
                         [](const Result& a, const Result& b) { return a.serial < b.serial; });
        std::vector<Result> handedOut;
        std::vector<std::size_t> batches;
        // Bounded: a gateway that never removed what it handed out would repeat it for ever.
        for (std::string reply; reply != "result=[]" && batches.size() <= c.batches.size();) {
            reply = c.limits
                        ? facepad::sim::FormatResultReply(gateway.State().DrainResults(*c.limits))
                        : Post(endpoint::kGetResult, "").body;
            const auto batch = simtest::ReadResultReply(reply);
            if (!batch.empty()) {
                batches.push_back(batch.size());
                EXPECT_TRUE(batch.size() == 1 ||
                            reply.size() <= c.limits.value_or(ResultBatchLimits{}).bytes)
                    << c.name << ": " << reply.size() << " bytes";
                EXPECT_EQ(reply.rfind("result=[{\"SN\":\"T1\",\"data\":", 0), 0u) << reply;
                EXPECT_EQ(reply.find("\"SN\":\"T1\""), reply.rfind("\"SN\":\"T1\"")) << c.name;
            }
            handedOut.insert(handedOut.end(), batch.begin(), batch.end());
        }
        EXPECT_EQ(batches, c.batches) << c.name;
        EXPECT_TRUE(handedOut == queued) << c.name;
    }
}

}  // namespace
