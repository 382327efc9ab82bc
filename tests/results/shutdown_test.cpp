// Destruction while the polling thread is busy: no use after free, no deadlock, no long wait.
#include <atomic>
#include <future>

#include "delivery_recorder.h"

namespace vvtest {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

using Osmer_Framework::Face::CLS_VurodoroViri_Base;

constexpr milliseconds kNap{1};
const char* const kEndpoint = "facepad/getresult";

class ShutdownTest : public AdapterTest {
protected:
    void SetUp() override
    {
        DeliveryRecorder::Instance().Reset();
        VurodoroViri_TestAccess::SetNapLength(kNap);
        AdapterTest::SetUp();
    }
};

TEST_F(ShutdownTest, AbortsAResultRequestThatHangsOrIsAnsweredSlowly)
{
    for (const ScriptedReply& reply : {ScriptedReply{200, "", {}, true},
                                       ScriptedReply{200, "result=[]", std::chrono::seconds(30)}}) {
        adapter.reset();
        gateway->SetReply(kEndpoint, reply);
        const std::size_t before = gateway->CountTo(kEndpoint);
        NewAdapter();
        ASSERT_TRUE(gateway->WaitForRequests(kEndpoint, before + 1));
        const auto start = Clock::now();
        adapter.reset();
        EXPECT_LT(Clock::now() - start, milliseconds(1000));
        EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 0u);
        gateway->ReleaseHanging();
    }
}

TEST_F(ShutdownTest, WaitsForACallbackRunningOnThePollingThread)
{
    static std::promise<void> entered;
    static std::promise<void> release;
    static std::atomic<bool> callbackFinished{false};
    entered = std::promise<void>();
    release = std::promise<void>();
    callbackFinished = false;
    DeliveryRecorder::Instance().Reset([](ResultMap&) {
        entered.set_value();
        release.get_future().wait();
        callbackFinished = true;
    });
    adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
    gateway->QueueReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "1", "0"))});
    entered.get_future().wait();

    auto destroyed = std::async(std::launch::async, [&] {
        adapter.reset();
        return callbackFinished.load();
    });
    EXPECT_EQ(destroyed.wait_for(milliseconds(100)), std::future_status::timeout);
    release.set_value();
    EXPECT_TRUE(destroyed.get()) << "the destructor returned before the callback did";
}

TEST_F(ShutdownTest, DeletingTheAdapterFromItsOwnCallbackDoesNotDeadlock)
{
    static VurodoroViri_Druvel* owned = nullptr;
    owned = adapter.release();
    DeliveryRecorder::Instance().Reset([](ResultMap&) { delete owned; });
    owned->SetResultCallbackFace(&DeliveryRecorder::Callback);
    gateway->SetReply(kEndpoint, ScriptedReply{200, ResultReply(OneEntryList("T1", "1", "0"))});
    ASSERT_TRUE(DeliveryRecorder::Instance().WaitFor(1));
    EXPECT_TRUE(NoPollersWithin());
    EXPECT_TRUE(VurodoroViri_TestAccess::ThreadQuit());
    EXPECT_EQ(DeliveryRecorder::Instance().Deliveries().size(), 1u);
}

// The newest adapter takes over the statics; destroying any adapter, through the host interface,
// stops every thread and leaves the statics as they were.
TEST_F(ShutdownTest, TwoAdaptersShareTheStatics)
{
    TestGateway secondGateway;
    auto second = std::make_unique<VurodoroViri_Druvel>();
    second->SetUrl(TestGateway::BaseUrl());
    second->SetRequestPort(secondGateway.Port());
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), second.get());
    EXPECT_FALSE(VurodoroViri_TestAccess::ThreadQuit());
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 2u);

    // Both threads work for the newest adapter.
    ASSERT_TRUE(secondGateway.WaitForRequests(kEndpoint, 6));
    EXPECT_EQ(gateway->CountTo(kEndpoint), 0u);

    // Both threads held inside a poll: every poll they sent has been counted.
    secondGateway.SetReply(kEndpoint, ScriptedReply{200, "", {}, true});
    ASSERT_TRUE(secondGateway.WaitForHanging(2));
    const std::size_t polls = secondGateway.CountTo(kEndpoint);

    // Destroying either adapter stops every thread; the other adapter still sends commands.
    delete static_cast<CLS_VurodoroViri_Base*>(adapter.release());
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 0u);
    EXPECT_TRUE(VurodoroViri_TestAccess::ThreadQuit());
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), second.get());
    secondGateway.ReleaseHanging();
    ParamMap map;
    EXPECT_TRUE(second->GetAvailableFace(map));
    EXPECT_EQ(secondGateway.CountTo(kEndpoint), polls);
    const VurodoroViri_Druvel* last = second.get();
    second.reset();
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), last);
    EXPECT_TRUE(log->Messages().empty()) << "json_load_lib succeeds, nothing to log";
}

}  // namespace
}  // namespace vvtest
