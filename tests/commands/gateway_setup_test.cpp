// Gateway set-up: listen port, initialisation settings, binding and unbinding.
#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "json_members.h"

namespace vvtest {
namespace {

using Members = std::vector<std::string>;

const char* const kInitKeys[] = {"type",    "AttLog",   "OpLog",    "AttPhoto", "EnrollUser",
                                 "ChgUser", "EnrollFP", "ChgFP",    "FPImag",   "FACE",
                                 "UserPic", "WORKCODE", "BioPhoto", "TimeOut"};

class GatewaySetupTest : public AdapterTest {};

TEST_F(GatewaySetupTest, ListenPortBodyHasResetWithoutEqualsSign)
{
    struct Case {
        std::string port;
        std::string reset;
        std::string body;
    };
    const std::vector<Case> cases = {
        {"10001", "1", "port=10001\treset1"},
        {"10001", "", "port=10001\treset"},
        {"", "1", "port=\treset1"},
        {"abc", "x&y=z", "port=abc\tresetx&y=z"},
    };
    for (const Case& c : cases) {
        std::string port = c.port;
        std::string reset = c.reset;
        EXPECT_TRUE(adapter->SetListenPortFace(port, reset));
        const auto requests = gateway->RequestsTo("facepad/setport");
        EXPECT_EQ(requests.back().body, c.body);
        EXPECT_EQ(port, c.port);
        EXPECT_EQ(reset, c.reset);
    }
    // The port told to the gateway is not the one the adapter reaches it on.
    EXPECT_EQ(adapter->GetRequestPort(), gateway->Port());
    EXPECT_TRUE(log->Messages().empty());
}

// Every setting goes out as a JSON string in the gateway's order, escaped only by the JSON writer
// (no form encoding); keys match only with their exact case, and absent ones are inserted as "".
TEST_F(GatewaySetupTest, InitParamsAreTheFourteenKeysInOrderAsStrings)
{
    ParamMap numbered{{"extra", "not sent"}};
    Members numberedSent;
    Members emptySent;
    for (const char* key : kInitKeys) {
        numbered[key] = std::to_string(numberedSent.size());  // numeric-looking: still strings
        numberedSent.push_back(std::string(key) + "=\"" + numbered[key] + "\"");
        emptySent.push_back(std::string(key) + "=\"\"");
    }
    Members escaped = emptySent;
    escaped[9] = "FACE=\"say \"hi\" \\ bye\"";
    escaped[10] = "UserPic=\"a&b=c\"";
    struct Case {
        ParamMap params;
        Members sent;
    };
    const Case cases[] = {
        {{}, emptySent},
        {numbered, numberedSent},
        {{{"timeout", "30"}, {"Type", "2"}}, emptySent},
        {{{"FACE", "say \"hi\" \\ bye"}, {"UserPic", "a&b=c"}}, escaped},
    };
    for (const Case& c : cases) {
        ParamMap params = c.params;
        EXPECT_TRUE(adapter->SetInitParamFace(params));
        EXPECT_EQ(MembersOf(AfterPrefix(gateway->RequestsTo("facepad/setinitparam").back().body,
                                        "Data=")),
                  c.sent);
        ParamMap after = c.params;
        for (const char* key : kInitKeys) {
            after.emplace(key, "");
        }
        EXPECT_EQ(params, after);
    }
    EXPECT_TRUE(log->Messages().empty());
}

TEST_F(GatewaySetupTest, BindingSendsSerialAndChannelInDecimal)
{
    struct Case {
        int channel;
        std::string body;
    };
    const std::vector<Case> cases = {{1, "SN=ABC123\tch=1"},
                                     {0, "SN=ABC123\tch=0"},
                                     {-5, "SN=ABC123\tch=-5"},
                                     {INT_MAX, "SN=ABC123\tch=2147483647"},
                                     {INT_MIN, "SN=ABC123\tch=-2147483648"}};
    for (const Case& c : cases) {
        EXPECT_TRUE(adapter->BindVurodoroViri("ABC123", c.channel, "a", "b", "c", "d"));
        EXPECT_EQ(gateway->RequestsTo("facepad/binding").back().body, c.body);
    }
    EXPECT_TRUE(adapter->BindVurodoroViri("", 7, "", "", "", ""));
    EXPECT_EQ(gateway->RequestsTo("facepad/binding").back().body, "SN=\tch=7");
}

TEST_F(GatewaySetupTest, UnbindingSendsTheSerialAlone)
{
    EXPECT_TRUE(adapter->UnBindVurodoroViri("ABC123"));
    EXPECT_TRUE(adapter->UnBindVurodoroViri("A\tB&C"));
    const auto requests = gateway->RequestsTo("facepad/unbinding");
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].body, "SN=ABC123");
    EXPECT_EQ(requests[1].body, "SN=A\tB&C");
}

}  // namespace
}  // namespace vvtest
