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

class GatewaySetupTest : public AdapterTest {
protected:
    Members SentInitParams()
    {
        return MembersOf(AfterPrefix(OnlyBodyTo("facepad/setinitparam"), "Data="));
    }
};

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
    EXPECT_EQ(gateway->RequestsTo("facepad/setport").front().body.size(), 17u);
    // The port told to the gateway is not the one the adapter reaches it on.
    EXPECT_EQ(adapter->GetRequestPort(), gateway->Port());
    EXPECT_TRUE(log->Messages().empty());
}

TEST_F(GatewaySetupTest, InitParamsFromAnEmptyMapAreFourteenEmptyStringsInOrder)
{
    ParamMap params;
    EXPECT_TRUE(adapter->SetInitParamFace(params));
    Members expected;
    ParamMap inserted;
    for (const char* key : kInitKeys) {
        expected.push_back(std::string(key) + "=\"\"");
        inserted[key] = "";
    }
    EXPECT_EQ(SentInitParams(), expected);
    EXPECT_EQ(params, inserted);
    EXPECT_TRUE(log->Messages().empty());
}

TEST_F(GatewaySetupTest, EachInitParamCarriesItsOwnValueAsAString)
{
    ParamMap params;
    Members expected;
    int n = 0;
    for (const char* key : kInitKeys) {
        params[key] = std::to_string(n);  // numeric-looking on purpose: they must stay strings
        expected.push_back(std::string(key) + "=\"" + std::to_string(n) + "\"");
        ++n;
    }
    params["extra"] = "not sent";
    const ParamMap before = params;
    EXPECT_TRUE(adapter->SetInitParamFace(params));
    EXPECT_EQ(SentInitParams(), expected);
    EXPECT_EQ(params, before);
}

TEST_F(GatewaySetupTest, InitParamKeysMatchOnlyWithTheirExactCase)
{
    ParamMap params{{"timeout", "30"}, {"Type", "2"}};
    EXPECT_TRUE(adapter->SetInitParamFace(params));
    const Members sent = SentInitParams();
    ASSERT_EQ(sent.size(), 14u);
    EXPECT_EQ(sent.front(), "type=\"\"");
    EXPECT_EQ(sent.back(), "TimeOut=\"\"");
    EXPECT_EQ(params.at("timeout"), "30");
    EXPECT_EQ(params.at("Type"), "2");
    EXPECT_EQ(params.at("TimeOut"), "");
    EXPECT_EQ(params.size(), 16u);
}

TEST_F(GatewaySetupTest, InitParamTextIsEscapedOnlyByTheJsonWriter)
{
    ParamMap params{{"FACE", "say \"hi\" \\ bye"}, {"UserPic", "a&b=c"}};
    EXPECT_TRUE(adapter->SetInitParamFace(params));
    const std::string body = OnlyBodyTo("facepad/setinitparam");
    EXPECT_NE(body.find("a&b=c"), std::string::npos) << body;  // no form encoding
    const Members sent = MembersOf(AfterPrefix(body, "Data="));
    ASSERT_EQ(sent.size(), 14u);
    EXPECT_EQ(sent[9], "FACE=\"say \"hi\" \\ bye\"");
    EXPECT_EQ(sent[10], "UserPic=\"a&b=c\"");
}

TEST_F(GatewaySetupTest, FailedInitRequestKeepsTheInsertedKeys)
{
    adapter->SetRequestPort(UnusedLoopbackPort());
    ParamMap params{{"TimeOut", "30"}};
    EXPECT_FALSE(adapter->SetInitParamFace(params));
    EXPECT_EQ(params.size(), 14u);
    EXPECT_EQ(params.at("TimeOut"), "30");
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
    EXPECT_EQ(gateway->RequestsTo("facepad/binding").front().body.size(), 14u);
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
