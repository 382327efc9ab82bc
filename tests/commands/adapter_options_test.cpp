// The options of VurodoroViri_Options.h: what each refuses, and that what it sets takes effect.
#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Options.h"
#include "adapter_fixture.h"

namespace vvtest {
namespace {

using namespace std::chrono_literals;
using Osmer_Framework::Face::VurodoroViri_ExchangeTimeouts;
using Osmer_Framework::Face::VurodoroViri_GetAvailableReply;
using Osmer_Framework::Face::VurodoroViri_GetExchangeTimeouts;
using Osmer_Framework::Face::VurodoroViri_GetLastExchange;
using Osmer_Framework::Face::VurodoroViri_SetExchangeTimeouts;
using Osmer_Framework::Face::VurodoroViri_SetFirstPollDelay;
using Outcome = Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Clock = std::chrono::steady_clock;

class AdapterOptionsTest : public AdapterTest {};

// Each row is applied in turn; a refused one leaves the previous time-outs in place. The gateway
// answers after 1.5 s, so only a total below that makes the call time out.
TEST_F(AdapterOptionsTest, ExchangeTimeoutsAreCheckedThenBoundTheNextExchange)
{
    struct Row {
        VurodoroViri_ExchangeTimeouts set;
        bool accepted;
        bool callTimesOut;
    };
    const Row rows[] = {
        {{3000ms, 30000ms}, true, false},  // the defaults
        {{0ms, 1000ms}, false, false},    {{200ms, -1ms}, false, false},
        {{500ms, 400ms}, false, false},   {{100ms, 300ms}, true, true},
        {{3000ms, 30000ms}, true, false},
    };
    EXPECT_EQ(VurodoroViri_GetExchangeTimeouts(*adapter).total, 30000ms);
    gateway->SetReply("facepad/unbinding", ScriptedReply{200, "", 1500ms});
    VurodoroViri_ExchangeTimeouts inForce;
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.set.connect.count()) + "/" +
                     std::to_string(row.set.total.count()));
        EXPECT_EQ(VurodoroViri_SetExchangeTimeouts(*adapter, row.set), row.accepted);
        inForce = row.accepted ? row.set : inForce;
        EXPECT_EQ(VurodoroViri_GetExchangeTimeouts(*adapter).connect, inForce.connect);
        EXPECT_EQ(VurodoroViri_GetExchangeTimeouts(*adapter).total, inForce.total);
        if (row.accepted) {
            const auto start = Clock::now();
            EXPECT_EQ(adapter->UnBindVurodoroViri("T1"), !row.callTimesOut);
            EXPECT_EQ(VurodoroViri_GetLastExchange().outcome,
                      row.callTimesOut ? Outcome::Timeout : Outcome::Accepted);
            EXPECT_LT(Clock::now() - start, row.callTimesOut ? 1400ms : 5000ms);
        }
    }
}

// Set after construction, while the thread already waits: the first poll comes long before 8 s.
TEST_F(AdapterOptionsTest, AFirstPollDelayShortensTheWaitUnderWay)
{
    EXPECT_FALSE(VurodoroViri_SetFirstPollDelay(*adapter, -1ms));
    EXPECT_FALSE(VurodoroViri_SetFirstPollDelay(*adapter, 8001ms));
    EXPECT_EQ(gateway->CountTo("facepad/getresult"), 0u);
    EXPECT_TRUE(VurodoroViri_SetFirstPollDelay(*adapter, 100ms));
    EXPECT_TRUE(gateway->WaitForRequests("facepad/getresult", 1, 4s));
}

// The whole list, however long, with GetAvailableFace's request and log lines.
TEST_F(AdapterOptionsTest, TheAvailableReplyIsWholeAndFailsAsGetAvailableFaceDoes)
{
    std::string list = "Data=[";
    for (int i = 0; i < 120; ++i) {
        list += std::string(i ? "," : "") + R"({"sn":"FACE-)" + std::string(60, 'x') +
                std::to_string(i) + R"(","connstatus":1})";
    }
    list += "]";
    ASSERT_GT(list.size(), 8000u);
    gateway->QueueReply("facepad/getavailable", ScriptedReply{200, list});
    gateway->QueueReply("facepad/getavailable", ScriptedReply{404, "no"});
    std::string reply = "stale";
    EXPECT_TRUE(VurodoroViri_GetAvailableReply(*adapter, reply));
    EXPECT_EQ(reply, list);
    EXPECT_FALSE(VurodoroViri_GetAvailableReply(*adapter, reply));
    EXPECT_EQ(reply, "no");
    EXPECT_EQ(log->Messages(), std::vector<std::string>{"VurodoroViri_Druvel::GetAvailableFace "
                                                        "Call GetLastPostStatus ret false"});
    EXPECT_EQ(gateway->RequestsTo("facepad/getavailable").front().body, "");
}

}  // namespace
}  // namespace vvtest
