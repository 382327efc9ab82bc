// The diagnostics extension: after an operation returns false, the calling thread can tell why.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Version.h"
#include "adapter_fixture.h"

namespace vvtest {
namespace {

using Osmer_Framework::Face::VurodoroViri_Base64Encode;
using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Osmer_Framework::Face::VurodoroViri_GetLastExchange;
using Osmer_Framework::Face::VurodoroViri_GetLastReply;
using Osmer_Framework::Face::VurodoroViri_GetVersion;
using Outcome = VurodoroViri_ExchangeOutcome;

class DiagnosticsTest : public AdapterTest {};

TEST_F(DiagnosticsTest, TheLastExchangeSaysWhyARecordOperationFailed)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        Outcome outcome;
        const char* status;
        std::string reply;  // what the thread keeps of the answer's body
        bool truncated;
    };
    const std::string longBody(Osmer_Framework::Face::VurodoroViri_kLastReplyLimit + 1, 'x');
    const std::vector<Case> cases = {
        {"accepted", [] {}, Outcome::Accepted, "200", "", false},
        {"refused",
         [this] {
             gateway->SetReply("facepad/adduser", {409, "dup"});
         },
         Outcome::Refused, "409", "dup", false},
        {"refused at length",
         [&] {
             gateway->SetReply("facepad/adduser", {413, longBody});
         },
         Outcome::Refused, "413", longBody.substr(0, longBody.size() - 1), true},
        {"nothing listens", [this] { adapter->SetRequestPort(UnusedLoopbackPort()); },
         Outcome::ConnectionRefused, "", "", false},
        {"bad URL", [this] { adapter->SetUrl("ftp://127.0.0.1"); }, Outcome::BadUrl, "", "", false},
        {"broken answer",
         [this] {
             gateway->SetReply("facepad/adduser", ScriptedReply{200, "x", {}, false, true});
         },
         Outcome::ConnectionBroken, "", "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        PointAt(*adapter);
        gateway->SetReply("facepad/adduser", ScriptedReply{});
        c.arrange();
        ParamMap user{{"pin", "1"}};
        EXPECT_EQ(adapter->AddUser("1", "T1", user), c.outcome == Outcome::Accepted);
        EXPECT_EQ(VurodoroViri_GetLastExchange().outcome, c.outcome);
        EXPECT_EQ(VurodoroViri_GetLastExchange().status, c.status);
        EXPECT_EQ(VurodoroViri_GetLastReply().text, c.reply);
        EXPECT_EQ(VurodoroViri_GetLastReply().truncated, c.truncated);
    }
}

TEST_F(DiagnosticsTest, EachThreadSeesItsOwnLastExchange)
{
    gateway->SetReply("facepad/deluser", {503, ""});
    ParamMap user{{"pin", "1"}};
    EXPECT_TRUE(adapter->AddUser("1", "T1", user));
    std::thread other([&] {
        EXPECT_EQ(VurodoroViri_GetLastExchange().outcome, Outcome::None);
        EXPECT_FALSE(adapter->DelUser("1", "T1", user));
        EXPECT_EQ(VurodoroViri_GetLastExchange().status, "503");
    });
    other.join();
    EXPECT_EQ(VurodoroViri_GetLastExchange().outcome, Outcome::Accepted);
}

TEST(Diagnostics, Base64AndVersion)
{
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\x00\xfe", 3), "/wD+"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(VurodoroViri_Base64Encode(v.first), v.second) << v.first;
    }
    EXPECT_STREQ(VurodoroViri_GetVersion(), VURODOROVIRI_VERSION);
}

}  // namespace
}  // namespace vvtest
