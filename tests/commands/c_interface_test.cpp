// The plain C interface against the C++ one: the same requests, the same diagnostics as integers,
// results through the C callback with its context until taken, and no throw or crash on NULL.
#include <algorithm>
#include <condition_variable>
#include <functional>

#include "VurodoroViri_C.h"
#include "VurodoroViri_Diagnostics.h"
#include "adapter_fixture.h"
#include "delivery_recorder.h"

namespace vvtest {
namespace {

using Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Osmer_Framework::Face::VurodoroViri_ExchangeOutcomeName;
using Osmer_Framework::Face::VurodoroViri_GetLastExchange;

struct Twin {
    std::function<int(VurodoroViriC_Adapter*)> c;
    std::function<bool(VurodoroViri_Druvel&, ParamMap&)> cpp;
    ParamMap map{};  // what the C list says
};

TEST_F(AdapterTest, EveryCOperationSendsWhatItsCppOperationSends)
{
    using A = VurodoroViri_Druvel;
    static const char* const user[] = {"pin", "7", "name", "Łódź 日本", "card", nullptr};
    static const char* const settings[] = {"type", "1", "TimeOut", "30", nullptr};
    const ParamMap userMap{{"pin", "7"}, {"name", "Łódź 日本"}};
    const ParamMap settingsMap{{"type", "1"}, {"TimeOut", "30"}};
    const std::vector<Twin> twins = {
        {[](auto* c) { return VurodoroViriC_AddUser(c, "9", "T1", user); },
         [](A& a, ParamMap& m) { return a.AddUser("9", "T1", m); }, userMap},
        {[](auto* c) { return VurodoroViriC_DelUser(c, "9", nullptr, user); },
         [](A& a, ParamMap& m) { return a.DelUser("9", "", m); }, userMap},
        {[](auto* c) { return VurodoroViriC_SetBiophoto(c, "9", "T1", user); },
         [](A& a, ParamMap& m) { return a.SetBiophoto("9", "T1", m); }, userMap},
        {[](auto* c) { return VurodoroViriC_DelBiophoto(c, "9", "T1", nullptr); },
         [](A& a, ParamMap& m) { return a.DelBiophoto("9", "T1", m); },
         {}},
        {[](auto* c) { return VurodoroViriC_SetInitParam(c, settings); },
         [](A& a, ParamMap& m) { return a.SetInitParamFace(m); }, settingsMap},
        {[](auto* c) { return VurodoroViriC_SetListenPort(c, "10002", "1"); },
         [](A& a, ParamMap&) {
             std::string port = "10002", reset = "1";
             return a.SetListenPortFace(port, reset);
         }},
        {[](auto* c) { return VurodoroViriC_GetAvailable(c); },
         [](A& a, ParamMap& m) { return a.GetAvailableFace(m); }},
        {[](auto* c) { return VurodoroViriC_Bind(c, "T1", 3); },
         [](A& a, ParamMap&) { return a.BindVurodoroViri("T1", 3, "", "", "", ""); }},
        {[](auto* c) { return VurodoroViriC_Unbind(c, "T1"); },
         [](A& a, ParamMap&) { return a.UnBindVurodoroViri("T1"); }},
        {[](auto* c) { return VurodoroViriC_ControlDevice(c, "9", "T1"); },
         [](A& a, ParamMap&) { return a.ControlDeviceFace("9", "T1", "", "", ""); }},
    };
    VurodoroViriC_Adapter* c = nullptr;
    ASSERT_EQ(VurodoroViriC_Create(&c), 1);
    EXPECT_EQ(VurodoroViriC_SetRequestPort(c, gateway->Port()), 1);
    for (const Twin& twin : twins) {
        EXPECT_EQ(twin.c(c), 1);
        ParamMap map = twin.map;
        EXPECT_TRUE(twin.cpp(*adapter, map));
        const auto sent = gateway->Requests();
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent[sent.size() - 2].path, sent.back().path);
        EXPECT_EQ(sent[sent.size() - 2].body, sent.back().body) << sent.back().path;
    }
    gateway->SetReply("facepad/getterminalstatus", {409, "busy"});
    EXPECT_EQ(VurodoroViriC_GetTerminalStatus(c, "T1"), 0);
    int delivery = -1, status = -1;
    EXPECT_EQ(VurodoroViriC_LastExchange(&delivery, &status, nullptr, 0), VurodoroViriC_Refused);
    EXPECT_EQ(delivery, VurodoroViriC_Answered);
    EXPECT_EQ(status, 409);
    EXPECT_EQ(VurodoroViriC_SetUrl(c, "http://127.0.0.1/"), 1);  // stored; the next call fails
    EXPECT_EQ(VurodoroViriC_GetAvailable(c), 0);
    char detail[4] = "xxx";
    EXPECT_EQ(VurodoroViriC_LastExchange(&delivery, &status, detail, sizeof detail),
              VurodoroViriC_BadUrl);
    EXPECT_EQ(delivery, VurodoroViriC_NotSent);
    EXPECT_EQ(status, 0);
    ASSERT_GT(VurodoroViri_GetLastExchange().detail.size(), 3u);
    EXPECT_EQ(std::string(detail), VurodoroViri_GetLastExchange().detail.substr(0, 3));
    EXPECT_EQ(VurodoroViriC_LastExchange(nullptr, nullptr, nullptr, 0), VurodoroViriC_BadUrl);
    EXPECT_STREQ(VurodoroViriC_OutcomeName(VurodoroViriC_Timeout),
                 VurodoroViri_ExchangeOutcomeName(VurodoroViri_ExchangeOutcome::Timeout));
    EXPECT_STREQ(VurodoroViriC_OutcomeName(-1), "unknown");
    EXPECT_EQ(VurodoroViriC_SetRequestPort(c, 65536), 0);
    EXPECT_EQ(VurodoroViriC_SetResultCallback(c, nullptr, nullptr), 0);
    EXPECT_EQ(VurodoroViriC_Destroy(c), 1);
    EXPECT_EQ(VurodoroViriC_Bind(nullptr, "T1", 1) + VurodoroViriC_Destroy(nullptr) +
                  VurodoroViriC_Create(nullptr),
              0);
}

struct Host {
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> seen;  // "serial/id=result"
    VurodoroViriC_Adapter* adapter = nullptr;
};

// Keeps command 2 the first time, destroys its adapter the second time it sees it.
int OnResult(void* context, const char* serial, const char* id, const char* result)
{
    Host& host = *static_cast<Host*>(context);
    std::unique_lock<std::mutex> lock(host.mutex);
    host.seen.push_back(std::string(serial) + "/" + id + "=" + result);
    const bool again = std::count(host.seen.begin(), host.seen.end(), host.seen.back()) > 1;
    if (again) {
        EXPECT_EQ(VurodoroViriC_Destroy(host.adapter), 1);
        host.adapter = nullptr;
    }
    host.changed.notify_all();
    return std::string(id) == "2" ? 1 : 0;
}

TEST_F(AdapterTest, ResultsReachTheCCallbackWithItsContextUntilTaken)
{
    adapter.reset();  // its poller would take the lists too
    VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(1));
    gateway->SetReply("facepad/getresult", {200, ResultReply("[]")});
    const std::string both = R"([{"SN":"T1","data":"[{\"id\":\"1\",\"return\":\"0\"},)"
                             R"({\"id\":\"2\",\"return\":\"-1003\"}]"}])";
    Host host;
    ASSERT_EQ(VurodoroViriC_Create(&host.adapter), 1);
    VurodoroViriC_SetUrl(host.adapter, "http://127.0.0.1");
    VurodoroViriC_SetRequestPort(host.adapter, gateway->Port());
    EXPECT_EQ(VurodoroViriC_SetResultCallback(host.adapter, &OnResult, &host), 1);
    // Only now: a list that reaches a poller without a callback ends it.
    gateway->QueueReply("facepad/getresult", {200, ResultReply(both)});
    gateway->QueueReply("facepad/getresult", {200, ResultReply(OneEntryList("T2", "3", "0"))});
    {
        std::unique_lock<std::mutex> lock(host.mutex);
        ASSERT_TRUE(host.changed.wait_for(lock, std::chrono::seconds(10),
                                          [&] { return host.adapter == nullptr; }));
    }
    EXPECT_TRUE(NoPollersWithin());
    // T2's result came in the same delivery, after the destroy: it is not handed over.
    EXPECT_EQ(host.seen, (std::vector<std::string>{"T1/1=0", "T1/2=-1003", "T1/2=-1003"}));
}

}  // namespace
}  // namespace vvtest
