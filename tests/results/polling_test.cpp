// The polling thread against a real gateway, with naps shortened through the test seam.
#include <future>

#ifndef _WIN32
#include <pthread.h>
#endif

#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Options.h"
#include "delivery_recorder.h"

namespace vvtest {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr milliseconds kNap{4};
constexpr milliseconds kFastWait = 10 * kNap;
constexpr milliseconds kSlowWait = 80 * kNap;
const char* const kEndpoint = "facepad/getresult";
const char* const kNoCallback = "SlotTimerTimeout pResultCallback == nullptr";

class PollingTest : public AdapterTest {
protected:
    void SetUp() override
    {
        DeliveryRecorder::Instance().Reset();
        VurodoroViri_TestAccess::SetNapLength(kNap);
        constructed = Clock::now();  // before the adapter: its thread may start waiting at once
        AdapterTest::SetUp();
    }

    // As the gateway stamped them: a test thread waking late does not shorten the measured waits.
    std::vector<Clock::time_point> PollTimes(std::size_t count)
    {
        std::vector<Clock::time_point> times;
        EXPECT_TRUE(gateway->WaitForRequests(kEndpoint, count));
        for (const auto& poll : gateway->RequestsTo(kEndpoint)) {
            times.push_back(poll.arrived);
        }
        times.resize(count);
        return times;
    }

    Clock::time_point constructed;
};

milliseconds Between(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration_cast<milliseconds>(b - a);
}

// The callback runs on the polling thread, which it may use to call the adapter.
TEST_F(PollingTest, DeliversAListOnThePollingThread)
{
    static std::promise<std::string> threadName;
    static VurodoroViri_Druvel* target = nullptr;
    threadName = std::promise<std::string>();
    target = adapter.get();
    DeliveryRecorder::Instance().Reset([](ResultMap&) {
        char name[16] = "";
#ifndef _WIN32
        pthread_getname_np(pthread_self(), name, sizeof name);
#endif
        threadName.set_value(name);
        ParamMap map;
        target->GetAvailableFace(map);
    });
    adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "17", "0"))});
    ASSERT_TRUE(DeliveryRecorder::Instance().WaitFor(1));
    const auto delivery = DeliveryRecorder::Instance().Deliveries().front();
    EXPECT_EQ(delivery.map, (ResultMap{{"T1", {{"17", "0"}}}}));
    EXPECT_NE(delivery.thread, std::this_thread::get_id());
    EXPECT_GE(Between(constructed, Clock::now()), 80 * kNap) << "first poll after 80 naps";
    EXPECT_EQ(gateway->RequestsTo(kEndpoint).front().body, "");
#ifndef _WIN32
    EXPECT_EQ(threadName.get_future().get(), "vv-result-poll") << "named for debuggers and top -H";
#endif
    EXPECT_TRUE(gateway->WaitForRequests("facepad/getavailable", 1));
}

// Only a list one character after the first "result" of a 200 reply is read, a broken one is
// logged; each list merges into the thread's map, which goes to the callback whole.
TEST_F(PollingTest, ListsAreReadFromAcceptedRepliesAndAccumulate)
{
    adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
    EXPECT_FALSE(adapter->SetResultCallbackFace(nullptr));  // refused: the one above stays
    const std::string list = OneEntryList("T1", "1", "0");
    for (const ScriptedReply& unread :
         {ScriptedReply{200, ResultReply(list, "\":")},
          ScriptedReply{200, "noresults, result=" + list}, ScriptedReply{404, ResultReply(list)},
          ScriptedReply{200, "result=[{broken"}}) {
        gateway->QueueReply(kEndpoint, unread);
    }
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "1", "a"))});
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T2", "2", "b"))});
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "3", "c"))});
    gateway->SetReply(kEndpoint, ScriptedReply{200, ResultReply("[]")});
    ASSERT_TRUE(DeliveryRecorder::Instance().WaitFor(3));
    const auto deliveries = DeliveryRecorder::Instance().Deliveries();
    EXPECT_EQ(deliveries[0].map, (ResultMap{{"T1", {{"1", "a"}}}}));
    EXPECT_EQ(deliveries[1].map, (ResultMap{{"T1", {{"1", "a"}}}, {"T2", {{"2", "b"}}}}));
    EXPECT_EQ(deliveries[2].map, (ResultMap{{"T1", {{"3", "c"}}}, {"T2", {{"2", "b"}}}}));
    EXPECT_EQ(log->Messages(),
              (std::vector<std::string>{
                  "VurodoroViri_Druvel::SetResultCallbackFace _pResultCallback == nullptr",
                  "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr"}));
}

// An empty list keeps the wait as it was (the slow first one), a failed poll repeats at the fast
// wait; neither delivers nor logs anything.
TEST_F(PollingTest, EmptyListsKeepTheSlowFirstWaitAndFailedPollsRepeatFast)
{
    adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply("[]")});
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply("[]")});
    gateway->SetReply(kEndpoint, ScriptedReply{500, ResultReply(OneEntryList("T1", "1", "0"))});
    const auto times = PollTimes(6);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_GE(Between(times[i - 1], times[i]), kFastWait - kNap) << i;
        EXPECT_EQ(Between(times[i - 1], times[i]) >= kSlowWait - kNap, i <= 2) << "slow wait " << i;
    }
    EXPECT_TRUE(DeliveryRecorder::Instance().Deliveries().empty());
    EXPECT_TRUE(log->Lines().empty());

    TestGateway second;  // a changed port applies from the next poll on
    adapter->SetRequestPort(second.Port());
    EXPECT_TRUE(second.WaitForRequests(kEndpoint, 1));
}

TEST_F(PollingTest, TenEmptiedMapsInARowSlowThePolling)
{
    DeliveryRecorder::Instance().Reset([](ResultMap& results) { results.clear(); });
    adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
    gateway->SetReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "1", "0"))});
    const auto times = PollTimes(13);
    for (std::size_t i = 1; i < 10; ++i) {
        EXPECT_LT(Between(times[i - 1], times[i]), kSlowWait - kNap) << "poll " << i + 1;
    }
    for (std::size_t i = 10; i < times.size(); ++i) {
        EXPECT_GE(Between(times[i - 1], times[i]), kSlowWait - kNap) << "poll " << i + 1;
    }
}

// The end must not hang on its log line, even when the host's hook throws; an empty list ends
// nothing.
TEST_F(PollingTest, AListWithoutACallbackEndsTheThreadForGood)
{
    gateway->SetReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "1", "0"))});
    for (const auto hook : {LogCapture::Hook::Records, LogCapture::Hook::RecordsThenThrows}) {
        adapter.reset();
        const std::size_t before = gateway->CountTo(kEndpoint);
        log.reset();  // before the next one takes the hook
        log = std::make_unique<LogCapture>(hook);
        gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply("[]")});
        NewAdapter();
        ASSERT_TRUE(log->WaitFor(kNoCallback));
        EXPECT_EQ(log->Lines().back().level, 2);
        EXPECT_TRUE(NoPollersWithin());
        EXPECT_EQ(log->Messages(), std::vector<std::string>{kNoCallback});
        EXPECT_TRUE(adapter->SetResultCallbackFace(&DeliveryRecorder::Callback));
        EXPECT_EQ(gateway->CountTo(kEndpoint) - before, 2u);
    }
}

TEST_F(PollingTest, RaisingTheStopFlagEndsAWaitingThreadWithoutARequest)
{
    VurodoroViri_TestAccess::SetThreadQuit(true);
    EXPECT_TRUE(NoPollersWithin());
    EXPECT_EQ(gateway->CountTo(kEndpoint), 0u);
}

// A tool's rhythms: paused, no poll even once the first one is due; draining, a poll at once,
// the next at once after each poll that delivered, the fast wait after one that did not. A poll
// cut off after it went out may have lost results, and the poll record says so.
TEST_F(PollingTest, APausedThreadNeverPollsAndADrainingOneFollowsTheResults)
{
    using Osmer_Framework::Face::VurodoroViri_PollingMode;
    constexpr milliseconds kWideNap{50};  // room for a sanitizer between back-to-back polls
    VurodoroViri_TestAccess::SetNapLength(kWideNap);
    adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
    ASSERT_TRUE(VurodoroViri_SetPollingMode(*adapter, VurodoroViri_PollingMode::Paused));
    ASSERT_TRUE(VurodoroViri_SetFirstPollDelay(*adapter, milliseconds(0)));
    EXPECT_FALSE(gateway->WaitForRequests(kEndpoint, 1, 10 * kWideNap));

    for (const char* id : {"1", "2", "3"}) {
        gateway->QueueReply(kEndpoint,
                            ScriptedReply{200, ResultReply(OneEntryList("T1", id, "0"))});
    }
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply("[]")});
    gateway->SetReply(kEndpoint, ScriptedReply{504, "<title>504 Gateway Time-out</title>"});
    const auto before = Osmer_Framework::Face::VurodoroViri_GetPollRecord();
    const auto drained = Clock::now();
    ASSERT_TRUE(VurodoroViri_SetPollingMode(*adapter, VurodoroViri_PollingMode::Drain));
    const auto times = PollTimes(5);
    EXPECT_LT(Between(drained, times[0]), 5 * kWideNap);
    for (std::size_t i = 1; i < times.size(); ++i) {
        EXPECT_EQ(Between(times[i - 1], times[i]) < 5 * kWideNap, i <= 3) << "poll " << i + 1;
        EXPECT_GE(Between(times[i - 1], times[i]), i <= 3 ? milliseconds(0) : 9 * kWideNap);
    }
    auto after = Osmer_Framework::Face::VurodoroViri_GetPollRecord();
    for (const auto limit = Clock::now() + std::chrono::seconds(10);
         after.mayHaveLostResults == before.mayHaveLostResults && Clock::now() < limit;) {
        std::this_thread::sleep_for(milliseconds(1));  // the record is noted after the answer
        after = Osmer_Framework::Face::VurodoroViri_GetPollRecord();
    }
    EXPECT_GE(after.polls - before.polls, 5u);
    EXPECT_GE(after.mayHaveLostResults - before.mayHaveLostResults, 1u);
    EXPECT_GE(after.foundNothing - before.foundNothing, 1u);  // the "[]" of the fourth poll
    EXPECT_EQ(after.last.status, "504");
    EXPECT_NE(after.last.detail.find("may have been lost"), std::string::npos) << after.last.detail;
}

// Real speed: the first poll leaves about 8 s after construction.
TEST(PollingAtRealSpeed, FirstPollComesAfterEightSeconds)
{
    TestGateway gateway;
    const auto constructed = Clock::now();
    VurodoroViri_Druvel adapter;
    adapter.SetRequestPort(gateway.Port());
    ASSERT_TRUE(gateway.WaitForRequests(kEndpoint, 1, std::chrono::seconds(20)));
    const auto waited = Between(constructed, Clock::now());
    EXPECT_GE(waited, milliseconds(8000));
    EXPECT_LT(waited, milliseconds(12000));
}

}  // namespace
}  // namespace vvtest
