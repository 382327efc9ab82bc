// The real adapter against the simulator in this process: every operation is accepted, reaches the
// simulator's state, and its result comes back through the host callback. Naps are shortened, so
// the first poll comes after 80 short naps instead of 8 s.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <memory>

#include "CLS_VurodoroViri_Druvel.h"
#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_TestAccess.h"
#include "delivery_recorder.h"
#include "facepad_protocol.h"
#include "log_capture.h"
#include "sim_server.h"

namespace {

namespace code = facepad::result_code;
using facepad::sim::Gateway;
using facepad::sim::ServerSettings;
using facepad::sim::SimServer;
using Osmer_Framework::Face::VurodoroViri_Druvel;
using Osmer_Framework::Face::VurodoroViri_GetLastReply;
using Osmer_Framework::Face::VurodoroViri_TestAccess;
using ParamMap = std::map<std::string, std::string>;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;
using namespace std::chrono_literals;

class AdapterAgainstSimulator : public ::testing::Test {
protected:
    void SetUp() override
    {
        // A host that handled the results clears them.
        vvtest::DeliveryRecorder::Instance().Reset([](ResultMap& results) { results.clear(); });
        VurodoroViri_TestAccess::SetNapLength(2ms);
        ServerSettings settings;
        settings.port = 0;
        server = std::make_unique<SimServer>(gateway, settings);
        server->Start();
        log = std::make_unique<vvtest::LogCapture>();
        adapter = std::make_unique<VurodoroViri_Druvel>();
        adapter->SetUrl("http://127.0.0.1");
        adapter->SetRequestPort(server->Port());
        adapter->SetResultCallbackFace(&vvtest::DeliveryRecorder::Callback);
    }
    void TearDown() override
    {
        adapter.reset();
        VurodoroViri_TestAccess::SetNapLength(100ms);
        log.reset();
        server.reset();
    }
    // The result text delivered for (serial, id), once it has come.
    static std::string WaitForResult(const std::string& serial, const std::string& id)
    {
        const auto values = vvtest::DeliveryRecorder::Instance().WaitForResult(serial, id);
        return values.empty() ? "(none)" : values.back();
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

TEST_F(AdapterAgainstSimulator, CommandsChangeTheGatewayAndReportThroughTheCallback)
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
    ASSERT_TRUE(Bind("OFF", 2));
    ASSERT_TRUE(adapter->ControlDeviceFace("42", "T1", "a", "b", "c"));
    ASSERT_TRUE(adapter->ControlDeviceFace("43", "OFF", "", "", ""));
    ASSERT_TRUE(adapter->ControlDeviceFace("44", "T2", "", "", ""));

    EXPECT_EQ(WaitForResult("T1", "17"), code::kDone);
    EXPECT_EQ(WaitForResult("T1", "18"), code::kDone);
    EXPECT_EQ(WaitForResult("T1", "19"), code::kDone);
    EXPECT_EQ(WaitForResult("T1", "20"), code::kUserUnknown);
    EXPECT_EQ(WaitForResult("T1", "21"), code::kPhotoUnknown);
    EXPECT_EQ(WaitForResult("T1", "42"), code::kDone);
    EXPECT_EQ(WaitForResult("OFF", "43"), code::kTerminalOffline);
    EXPECT_EQ(WaitForResult("T2", "44"), code::kTerminalNotBound);

    const auto terminal = gateway.State().Snapshot().terminals.at("T1");
    const auto& stored = terminal.users.at("1001");
    EXPECT_EQ(stored.name, "Ada");
    EXPECT_EQ(stored.pri, 12);
    EXPECT_EQ(stored.verify, -3);
    EXPECT_EQ(stored.card, "C-1");
    EXPECT_EQ(stored.passwd, "");
    EXPECT_EQ(terminal.photos.at("1001").at(9).content, "QUJD");
    const auto unlocks = gateway.State().Snapshot().unlocks;  // only the one that was carried out
    ASSERT_EQ(unlocks.size(), 1u);
    EXPECT_EQ(unlocks[0].serial, "T1");
    EXPECT_EQ(unlocks[0].commandId, "42");
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
    ASSERT_TRUE(Bind("T2", 7));  // binding again moves the terminal to the new channel
    EXPECT_EQ(gateway.State().Snapshot().terminals.at("T2").channel, 7);

    ASSERT_TRUE(adapter->UnBindVurodoroViri("T2"));
    EXPECT_FALSE(gateway.State().Snapshot().terminals.at("T2").channel.has_value());
}

// The simulator's replies read as the adapter reads a gateway's: the status list after "Data", and
// refusals as false.
TEST_F(AdapterAgainstSimulator, StatusAndRefusalsReachTheHostAsFromAGateway)
{
    EXPECT_TRUE(adapter->GetTerminalStatusFace("T1"));
    EXPECT_FALSE(adapter->GetTerminalStatusFace("OFF"));
    EXPECT_TRUE(log->Messages().empty()) << "a reply read correctly logs nothing";
    // An unknown terminal answers the empty list, which the adapter reports like a refusal.
    EXPECT_FALSE(adapter->GetTerminalStatusFace("T9"));
    EXPECT_FALSE(Bind("T9", 1));
    EXPECT_NE(VurodoroViri_GetLastReply().text.find("unknown terminal T9"), std::string::npos);
    EXPECT_FALSE(adapter->UnBindVurodoroViri("T1"));
    EXPECT_NE(VurodoroViri_GetLastReply().text.find("terminal T1 is not bound"), std::string::npos);
    EXPECT_EQ(log->Messages(),
              (std::vector<std::string>{
                  "VurodoroViri_Druvel::GetTerminalStatusFace Call GetLastPostStatus ret false",
                  "VurodoroViri_Druvel::BindVurodoroViri Call GetLastPostStatus ret false",
                  "VurodoroViri_Druvel::UnBindVurodoroViri Call GetLastPostStatus ret false"}));
}

// Beyond the size at which the client writes a body straight from the caller's string, and far
// beyond one socket buffer: every byte arrives in order, within the simulator's default cap.
TEST_F(AdapterAgainstSimulator, PhotoOfSeveralMegabytesArrivesWhole)
{
    ASSERT_TRUE(Bind("T1", 1));
    ASSERT_TRUE(AddUser("1", "T1", "7"));
    std::string content(6 * 1024 * 1024 + 7, '=');
    const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i + 2 < content.size(); ++i) {
        content[i] = alphabet[(i * 7 + i / 64) % 64];
    }
    ParamMap photo{{"pin", "7"}, {"type", "9"}, {"content", content}};
    ASSERT_TRUE(adapter->SetBiophoto("2", "T1", photo));
    EXPECT_EQ(WaitForResult("T1", "2"), code::kDone);
    EXPECT_TRUE(gateway.State().Snapshot().terminals.at("T1").photos.at("7").at(9).content ==
                content)
        << "the stored photo differs";
}

}  // namespace
