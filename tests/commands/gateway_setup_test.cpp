// Gateway set-up: listen port, initialisation settings, binding and unbinding.
#include <climits>

#include "adapter_fixture.h"
#include "facepad_protocol.h"
#include "json_members.h"

namespace vvtest {
namespace {

using Members = std::vector<std::string>;

class GatewaySetupTest : public AdapterTest {};

// The host's texts go out raw and stay as they were.
TEST_F(GatewaySetupTest, ListenPortBodyHasResetWithoutEqualsSign)
{
    const std::string cases[][3] = {{"10001", "1", "port=10001\treset1"},
                                    {"10001", "", "port=10001\treset"},
                                    {"", "1", "port=\treset1"},
                                    {"abc", "x&y=z", "port=abc\tresetx&y=z"}};
    for (const auto& c : cases) {
        std::string port = c[0];
        std::string reset = c[1];
        EXPECT_TRUE(adapter->SetListenPortFace(port, reset));
        EXPECT_EQ(gateway->RequestsTo("facepad/setport").back().body, c[2]);
        EXPECT_EQ(port + "|" + reset, c[0] + "|" + c[1]);
    }
    // The port told to the gateway is not the one the adapter reaches it on.
    EXPECT_EQ(adapter->GetRequestPort(), gateway->Port());
    EXPECT_TRUE(log->Messages().empty());
}

// Every setting goes out as a JSON string in the gateway's order, escaped only by the JSON writer
// (no form encoding); keys match only with their exact case, and absent ones are inserted as "".
// The key list itself is held to docs/reference.md by reference_doc_test.
TEST_F(GatewaySetupTest, InitParamsAreTheFourteenKeysInOrderAsStrings)
{
    ParamMap numbered{{"extra", "not sent"}};
    Members numberedSent;
    Members emptySent;
    for (const char* key : facepad::kInitParamKeys) {
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
        for (const char* key : facepad::kInitParamKeys) {
            after.emplace(key, "");
        }
        EXPECT_EQ(params, after);
    }
    EXPECT_TRUE(log->Messages().empty());
}

// Binding ignores its last four arguments; unbinding sends the serial alone, raw.
TEST_F(GatewaySetupTest, BindingAndUnbindingSendTheSerialAndTheChannelInDecimal)
{
    const std::pair<int, std::string> cases[] = {{1, "ch=1"},
                                                 {0, "ch=0"},
                                                 {-5, "ch=-5"},
                                                 {INT_MAX, "ch=2147483647"},
                                                 {INT_MIN, "ch=-2147483648"}};
    for (const auto& [channel, sent] : cases) {
        EXPECT_TRUE(adapter->BindVurodoroViri("ABC123", channel, "a", "b", "c", "d"));
        EXPECT_EQ(gateway->RequestsTo("facepad/binding").back().body, "SN=ABC123\t" + sent);
    }
    EXPECT_TRUE(adapter->BindVurodoroViri("", 7, "", "", "", ""));
    EXPECT_EQ(gateway->RequestsTo("facepad/binding").back().body, "SN=\tch=7");
    for (const char* serial : {"ABC123", "A\tB&C"}) {
        EXPECT_TRUE(adapter->UnBindVurodoroViri(serial));
        EXPECT_EQ(gateway->RequestsTo("facepad/unbinding").back().body,
                  std::string("SN=") + serial);
    }
    EXPECT_EQ(gateway->CountTo("facepad/unbinding"), 2u);
}

}  // namespace
}  // namespace vvtest
