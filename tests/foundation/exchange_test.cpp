// The gateway exchange, carried by the available-terminal query.
#include <gtest/gtest.h>

#include "adapter_fixture.h"
#include "ox_toolkit.h"

namespace vvtest {
namespace {

const char* const kHttpFailed =
    "VurodoroViri_Druvel::GetAvailableFace Call HttpPostRequest ret false";
const char* const kStatusFailed =
    "VurodoroViri_Druvel::GetAvailableFace Call GetLastPostStatus ret false";

class ExchangeTest : public AdapterTest {};

TEST_F(ExchangeTest, PostsAnEmptyBodyToTheEndpoint)
{
    ParamMap map{{"keep", "me"}};
    EXPECT_TRUE(adapter->GetAvailableFace(map));
    EXPECT_EQ(OnlyBodyTo("facepad/getavailable"), "");
    EXPECT_EQ(map, (ParamMap{{"keep", "me"}}));
    EXPECT_TRUE(log->Messages().empty());
}

TEST_F(ExchangeTest, OnlyStatus200Succeeds)
{
    ParamMap map;
    gateway->QueueReply("facepad/getavailable", ScriptedReply{200, "{\"error\":\"anything\"}"});
    EXPECT_TRUE(adapter->GetAvailableFace(map));
    for (int status : {201, 204, 404, 500}) {
        log->Clear();
        gateway->QueueReply("facepad/getavailable", ScriptedReply{status, "x"});
        EXPECT_FALSE(adapter->GetAvailableFace(map)) << status;
        EXPECT_EQ(log->Messages(), std::vector<std::string>{kStatusFailed}) << status;
    }
    EXPECT_TRUE(map.empty());
}

TEST_F(ExchangeTest, NoGatewayListeningLogsTheRequestFailure)
{
    adapter->SetRequestPort(UnusedLoopbackPort());
    ParamMap map{{"a", "1"}};
    EXPECT_FALSE(adapter->GetAvailableFace(map));
    EXPECT_EQ(log->Messages(), std::vector<std::string>{kHttpFailed});
    EXPECT_EQ(log->Lines().front().level, 2);
    EXPECT_EQ(map, (ParamMap{{"a", "1"}}));
}

TEST_F(ExchangeTest, UnusableBaseUrlGivesFalse)
{
    ParamMap map;
    adapter->SetUrl("");
    EXPECT_FALSE(adapter->GetAvailableFace(map));
    EXPECT_EQ(log->Messages(), std::vector<std::string>{kHttpFailed});
}

TEST_F(ExchangeTest, DroppedConnectionIsARequestFailure)
{
    gateway->SetReply("facepad/getavailable", ScriptedReply{200, "", {}, false, true});
    ParamMap map;
    EXPECT_FALSE(adapter->GetAvailableFace(map));
    EXPECT_EQ(log->Messages(), std::vector<std::string>{kHttpFailed});
}

TEST_F(ExchangeTest, NullHookLogsNothingAndChangesNothing)
{
    log.reset();  // restores the null hook
    ASSERT_EQ(ox_libos_log_debug_ex, nullptr);
    ParamMap map;
    gateway->QueueReply("facepad/getavailable", ScriptedReply{404, ""});
    EXPECT_FALSE(adapter->GetAvailableFace(map));
    EXPECT_TRUE(adapter->GetAvailableFace(map));
    EXPECT_FALSE(adapter->SetRequestPort(-1));
    EXPECT_EQ(adapter->GetRequestPort(), gateway->Port());
}

// A host's hook is C++ and may throw; the host still sees only true or false.
TEST_F(ExchangeTest, ThrowingHookNeverReachesTheHost)
{
    log.reset();
    log = std::make_unique<LogCapture>(LogCapture::Hook::RecordsThenThrows);
    ParamMap map;
    gateway->QueueReply("facepad/getavailable", ScriptedReply{404, ""});
    EXPECT_FALSE(adapter->GetAvailableFace(map));
    EXPECT_FALSE(adapter->SetRequestPort(-1));
    EXPECT_EQ(adapter->GetRequestPort(), gateway->Port());
    EXPECT_FALSE(adapter->SetResultCallbackFace(nullptr));
    EXPECT_TRUE(adapter->GetAvailableFace(map));
    EXPECT_EQ(log->Lines().size(), 3u);
}

TEST_F(ExchangeTest, ChangedAddressAppliesToTheNextCall)
{
    TestGateway second;
    ParamMap map;
    adapter->SetRequestPort(second.Port());
    EXPECT_TRUE(adapter->GetAvailableFace(map));
    EXPECT_EQ(second.CountTo("facepad/getavailable"), 1u);
    EXPECT_EQ(gateway->CountTo("facepad/getavailable"), 0u);
    adapter.reset();  // closes its connection to the second gateway before that one stops
}

}  // namespace
}  // namespace vvtest
