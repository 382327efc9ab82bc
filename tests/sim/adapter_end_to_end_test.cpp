// The real adapter against the simulator in this process: every operation is accepted, reaches the
// simulator's state, and its result comes back through the host callback. Naps are shortened, so
// the first poll comes after 80 short naps instead of 8 s.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>

#include "CLS_VurodoroViri_Druvel.h"
#include "VurodoroViri_TestAccess.h"
#include "facepad_protocol.h"
#include "log_capture.h"
#include "sim_server.h"

namespace {

namespace code = facepad::result_code;
using facepad::sim::Gateway;
using facepad::sim::ServerSettings;
using facepad::sim::SimServer;
using Osmer_Framework::Face::VurodoroViri_Druvel;
using Osmer_Framework::Face::VurodoroViri_TestAccess;
using ParamMap = std::map<std::string, std::string>;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;
using namespace std::chrono_literals;

// What the callback saw. It has no context pointer, so this is process-wide.
struct Deliveries {
    std::mutex mutex;
    std::condition_variable arrived;
    std::map<std::pair<std::string, std::string>, std::vector<std::string>> seen;  // (SN, id)
};
Deliveries g_deliveries;

// Runs on the polling thread: records every entry, then clears the map as a host that handled it.
int Collect(ResultMap& results)
{
    {
        std::lock_guard<std::mutex> lock(g_deliveries.mutex);
        for (const auto& [serial, entries] : results) {
            for (const auto& [id, value] : entries) {
                g_deliveries.seen[{serial, id}].push_back(value);
            }
        }
    }
    results.clear();
    g_deliveries.arrived.notify_all();
    return 0;
}

class AdapterAgainstSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        {
            std::lock_guard<std::mutex> lock(g_deliveries.mutex);
            g_deliveries.seen.clear();
        }
        VurodoroViri_TestAccess::SetNapLength(2ms);
        StartServer(ServerSettings{});
        log = std::make_unique<vvtest::LogCapture>();
        adapter = std::make_unique<VurodoroViri_Druvel>();
        adapter->SetUrl("http://127.0.0.1");
        adapter->SetRequestPort(server->Port());
        adapter->SetResultCallbackFace(&Collect);
    }
    void TearDown() override
    {
        adapter.reset();
        VurodoroViri_TestAccess::SetNapLength(100ms);
        log.reset();
        server.reset();
    }
    void StartServer(ServerSettings settings)
    {
        server.reset();
        settings.port = 0;
        server = std::make_unique<SimServer>(gateway, settings);
        server->Start();
        if (adapter) {
            adapter->SetRequestPort(server->Port());
        }
    }
    // The result text delivered for (serial, id), once it has come.
    std::optional<std::string> WaitForResult(const std::string& serial, const std::string& id)
    {
        std::unique_lock<std::mutex> lock(g_deliveries.mutex);
        const bool arrived = g_deliveries.arrived.wait_for(lock, 10s, [&] {
            return g_deliveries.seen.count({serial, id}) != 0;
        });
        return arrived ? std::optional<std::string>(g_deliveries.seen[{serial, id}].back())
                       : std::nullopt;
    }
    std::size_t TimesDelivered(const std::string& serial, const std::string& id)
    {
        std::lock_guard<std::mutex> lock(g_deliveries.mutex);
        const auto found = g_deliveries.seen.find({serial, id});
        return found == g_deliveries.seen.end() ? 0 : found->second.size();
    }
    bool Bind(const std::string& serial, int channel)
    {
        return adapter->BindVurodoroViri(serial, channel, "", "", "", "");
    }
    bool AddUser(const std::string& id, const std::string& serial, const std::string& pin)
    {
        ParamMap user{{"pin", pin}, {"name", "User " + pin}};
        return adapter->AddUser(id, serial, user);
    }

    Gateway gateway{{{"T1", true}, {"T2", true}, {"OFF", false}}};
    std::unique_ptr<SimServer> server;
    std::unique_ptr<vvtest::LogCapture> log;
    std::unique_ptr<VurodoroViri_Druvel> adapter;
};

TEST_F(AdapterAgainstSimulator, RecordCommandsChangeTheGatewayAndReportThroughTheCallback)
{
    ASSERT_TRUE(Bind("T1", 1));
    ParamMap ada{
        {"pin", "1001"}, {"name", "Ada"}, {"pri", "12abc"}, {"verify", " -3"}, {"card", "C-1"}};
    ASSERT_TRUE(adapter->AddUser("17", "T1", ada));
    ASSERT_TRUE(AddUser("18", "T1", "1002"));
    ParamMap photo{{"pin", "1001"}, {"type", "9"}, {"size", "4"}, {"content", "QUJD"}};
    ASSERT_TRUE(adapter->SetBiophoto("19", "T1", photo));
    ParamMap nobody{{"pin", "4040"}};
    ASSERT_TRUE(adapter->DelUser("20", "T1", nobody));
    ParamMap second{{"pin", "1002"}};
    ASSERT_TRUE(adapter->DelBiophoto("21", "T1", second));

    EXPECT_EQ(WaitForResult("T1", "17"), code::kDone);
    EXPECT_EQ(WaitForResult("T1", "18"), code::kDone);
    EXPECT_EQ(WaitForResult("T1", "19"), code::kDone);
    EXPECT_EQ(WaitForResult("T1", "20"), code::kUserUnknown);
    EXPECT_EQ(WaitForResult("T1", "21"), code::kPhotoUnknown);

    const auto terminal = gateway.State().Snapshot().terminals.at("T1");
    const auto& stored = terminal.users.at("1001");
    EXPECT_EQ(stored.name, "Ada");
    EXPECT_EQ(stored.pri, 12);
    EXPECT_EQ(stored.verify, -3);
    EXPECT_EQ(stored.card, "C-1");
    EXPECT_EQ(stored.passwd, "");
    EXPECT_EQ(terminal.photos.at("1001").at(9).content, "QUJD");
}

TEST_F(AdapterAgainstSimulator, SetUpCommandsAreStoredByTheGateway)
{
    ParamMap init{{"TimeOut", "30"}, {"FACE", "1"}};
    ASSERT_TRUE(adapter->SetInitParamFace(init));
    std::string port = "10002";
    std::string reset = "1";
    ASSERT_TRUE(adapter->SetListenPortFace(port, reset));
    ASSERT_TRUE(Bind("T2", 5));
    ParamMap unused;
    ASSERT_TRUE(adapter->GetAvailableFace(unused));

    auto data = gateway.State().Snapshot();
    ASSERT_EQ(data.initParams.size(), facepad::kInitParamCount);
    EXPECT_EQ(data.initParams.at("TimeOut"), "30");
    EXPECT_EQ(data.initParams.at("FACE"), "1");
    EXPECT_EQ(data.initParams.at("WORKCODE"), "");
    EXPECT_EQ(data.listenPort, "10002");
    EXPECT_EQ(data.resetValue, "1");
    EXPECT_EQ(data.terminals.at("T2").channel, 5);

    ASSERT_TRUE(adapter->UnBindVurodoroViri("T2"));
    EXPECT_FALSE(gateway.State().Snapshot().terminals.at("T2").channel.has_value());
}

TEST_F(AdapterAgainstSimulator, UnlockIsRecordedAndReportedOnlyForABoundConnectedTerminal)
{
    ASSERT_TRUE(Bind("T1", 1));
    ASSERT_TRUE(Bind("OFF", 2));
    ASSERT_TRUE(adapter->ControlDeviceFace("42", "T1", "a", "b", "c"));
    ASSERT_TRUE(adapter->ControlDeviceFace("43", "OFF", "", "", ""));
    ASSERT_TRUE(adapter->ControlDeviceFace("44", "T2", "", "", ""));
    EXPECT_EQ(WaitForResult("T1", "42"), code::kDone);
    EXPECT_EQ(WaitForResult("OFF", "43"), code::kTerminalOffline);
    EXPECT_EQ(WaitForResult("T2", "44"), code::kTerminalNotBound);
    const auto unlocks = gateway.State().Snapshot().unlocks;
    ASSERT_EQ(unlocks.size(), 1u);
    EXPECT_EQ(unlocks[0].serial, "T1");
    EXPECT_EQ(unlocks[0].commandId, "42");
}

TEST_F(AdapterAgainstSimulator, StatusQueryReadsTheConnectionFromTheSimulatorsReply)
{
    EXPECT_TRUE(adapter->GetTerminalStatusFace("T1"));
    EXPECT_FALSE(adapter->GetTerminalStatusFace("OFF"));
    EXPECT_TRUE(log->Messages().empty()) << "a reply read correctly logs nothing";
    // An unknown terminal answers the empty list, which the adapter reports like a refusal.
    EXPECT_FALSE(adapter->GetTerminalStatusFace("T9"));
    EXPECT_EQ(log->Messages(),
              std::vector<std::string>{"VurodoroViri_Druvel::GetTerminalStatusFace Call "
                                       "GetLastPostStatus ret false"});
}

TEST_F(AdapterAgainstSimulator, GatewayRefusalsReachTheHostAsFalse)
{
    EXPECT_FALSE(Bind("T9", 1));
    EXPECT_FALSE(adapter->UnBindVurodoroViri("T1"));
    EXPECT_EQ(log->Messages(),
              (std::vector<std::string>{
                  "VurodoroViri_Druvel::BindVurodoroViri Call GetLastPostStatus ret false",
                  "VurodoroViri_Druvel::UnBindVurodoroViri Call GetLastPostStatus ret false"}));
}

TEST_F(AdapterAgainstSimulator, ResultsOfSeveralTerminalsArriveAndEachIsDeliveredOnce)
{
    ASSERT_TRUE(Bind("T1", 1));
    ASSERT_TRUE(Bind("T2", 2));
    ASSERT_TRUE(AddUser("1", "T1", "1001"));
    ASSERT_TRUE(AddUser("2", "T2", "1001"));
    EXPECT_EQ(WaitForResult("T1", "1"), code::kDone);
    EXPECT_EQ(WaitForResult("T2", "2"), code::kDone);
    // Several polls later: had the simulator kept its results, they would come again.
    ASSERT_TRUE(AddUser("3", "T1", "1002"));
    EXPECT_EQ(WaitForResult("T1", "3"), code::kDone);
    ASSERT_TRUE(AddUser("4", "T1", "1003"));
    EXPECT_EQ(WaitForResult("T1", "4"), code::kDone);
    EXPECT_EQ(TimesDelivered("T1", "1"), 1u);
    EXPECT_EQ(TimesDelivered("T2", "2"), 1u);
    EXPECT_EQ(TimesDelivered("T1", "3"), 1u);
}

TEST_F(AdapterAgainstSimulator, PhotoOfSeveralMegabytesArrivesWhole)
{
    ASSERT_TRUE(Bind("T1", 1));
    ASSERT_TRUE(AddUser("1", "T1", "7"));
    const std::string content(3 * 1024 * 1024, 'Z');
    ParamMap photo{{"pin", "7"}, {"type", "9"}, {"content", content}};
    ASSERT_TRUE(adapter->SetBiophoto("2", "T1", photo));
    EXPECT_EQ(WaitForResult("T1", "2"), code::kDone);
    EXPECT_EQ(gateway.State().Snapshot().terminals.at("T1").photos.at("7").at(9).content, content);
}

TEST_F(AdapterAgainstSimulator, InjectedFaultsLookToTheHostLikeAFailingGateway)
{
    ParamMap unused;
    ServerSettings overriding;
    overriding.faults.statusOverrides[facepad::endpoint::kAddUser] = 503;
    StartServer(overriding);
    ASSERT_TRUE(Bind("T1", 1));
    EXPECT_FALSE(AddUser("1", "T1", "1001"));
    EXPECT_TRUE(gateway.State().Snapshot().terminals.at("T1").users.empty());

    ServerSettings dropping;
    dropping.faults.dropRate = 1.0;
    StartServer(dropping);
    EXPECT_FALSE(adapter->GetAvailableFace(unused));
    ServerSettings failing;
    failing.faults.failRate = 1.0;
    StartServer(failing);
    EXPECT_FALSE(adapter->GetAvailableFace(unused));
    EXPECT_EQ(log->Messages(),
              (std::vector<std::string>{
                  "VurodoroViri_Druvel::GetAvailableFace Call HttpPostRequest ret false",
                  "VurodoroViri_Druvel::GetAvailableFace Call GetLastPostStatus ret false"}));
}

}  // namespace
