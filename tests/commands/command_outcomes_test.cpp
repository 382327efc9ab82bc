// Every operation against every way an exchange can end: result, log line (record operations log
// none), the thread's diagnostics and the host's map.
#include <functional>

#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Version.h"
#include "adapter_fixture.h"

namespace vvtest {
namespace {

using Osmer_Framework::Face::VurodoroViri_Base64Encode;
using Osmer_Framework::Face::VurodoroViri_GetLastExchange;
using Osmer_Framework::Face::VurodoroViri_GetLastReply;
using Osmer_Framework::Face::VurodoroViri_GetVersion;
using Osmer_Framework::Face::VurodoroViri_kLastReplyLimit;
using Outcome = Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Delivery = Osmer_Framework::Face::VurodoroViri_Delivery;

struct Operation {
    const char* name;
    const char* path;
    bool logs;
    std::size_t keysRead;  // from the host's map, which inserts the absent ones
    std::function<bool(VurodoroViri_Druvel&, ParamMap&)> call;
};

std::vector<Operation> Operations()
{
    using A = VurodoroViri_Druvel;
    std::string port = "10001";
    std::string reset = "1";
    return {
        {"GetAvailableFace", "facepad/getavailable", true, 0,
         [](A& a, ParamMap& m) { return a.GetAvailableFace(m); }},
        {"SetListenPortFace", "facepad/setport", true, 0,
         [=](A& a, ParamMap&) mutable { return a.SetListenPortFace(port, reset); }},
        {"SetInitParamFace", "facepad/setinitparam", true, 14,
         [](A& a, ParamMap& m) { return a.SetInitParamFace(m); }},
        {"BindVurodoroViri", "facepad/binding", true, 0,
         [](A& a, ParamMap&) { return a.BindVurodoroViri("T1", 1, "", "", "", ""); }},
        {"UnBindVurodoroViri", "facepad/unbinding", true, 0,
         [](A& a, ParamMap&) { return a.UnBindVurodoroViri("T1"); }},
        {"GetTerminalStatusFace", "facepad/getterminalstatus", true, 0,
         [](A& a, ParamMap&) { return a.GetTerminalStatusFace("T1"); }},
        {"ControlDeviceFace", "facepad/controldevice", true, 0,
         [](A& a, ParamMap&) { return a.ControlDeviceFace("1", "T1", "", "", ""); }},
        {"AddUser", "facepad/adduser", false, 7,
         [](A& a, ParamMap& m) { return a.AddUser("1", "T1", m); }},
        {"DelUser", "facepad/deluser", false, 1,
         [](A& a, ParamMap& m) { return a.DelUser("1", "T1", m); }},
        {"SetBiophoto", "facepad/setbiophoto", false, 6,
         [](A& a, ParamMap& m) { return a.SetBiophoto("1", "T1", m); }},
        {"DelBiophoto", "facepad/delbiophoto", false, 1,
         [](A& a, ParamMap& m) { return a.DelBiophoto("1", "T1", m); }},
    };
}

// A connected status list, so that only the exchange can make the status query fail.
const std::string kAnyText = "Data=[{\"connstatus\":1}] {\"error\":\"x\"}";
const std::string kLongReason(VurodoroViri_kLastReplyLimit + 1, 'r');
const std::string kProxyPage =
    "<html>\r\n<head><TITLE>504 Gateway\r\n  Time-out</title></head><body>...</body></html>";

struct Ending {
    ScriptedReply reply;
    const char* url;   // the base URL; null: the local one, where nothing listens
    const char* step;  // in the log line; null when the gateway accepted
    Outcome outcome;
    Delivery delivery;
};

std::vector<Ending> Endings()
{
    const char* const local = "http://127.0.0.1";
    const char* const refused = "GetLastPostStatus";
    const char* const failed = "HttpPostRequest";
    const Delivery answered = Delivery::Answered;
    std::vector<Ending> endings = {
        {{200, kAnyText}, local, nullptr, Outcome::Accepted, answered},
        {{413, kLongReason}, local, refused, Outcome::Refused, answered},
        {{200, "", {}, false, true},
         local,
         failed,
         Outcome::ConnectionBroken,
         Delivery::MayHaveBeenDone},
        {{}, nullptr, failed, Outcome::ConnectionRefused, Delivery::NotSent},
        {{}, "ftp://127.0.0.1", failed, Outcome::BadUrl, Delivery::NotSent},
    };
    for (int status : {201, 204, 404, 409, 500}) {  // only exactly 200 is accepted
        endings.push_back(
            {{status, status == 204 ? "" : kAnyText}, local, refused, Outcome::Refused, answered});
    }
    // A proxy's answer for a gateway it could not reach or wait for proves nothing either way.
    for (int status : {502, 503, 504}) {
        endings.push_back(
            {{status, kProxyPage}, local, refused, Outcome::ProxyError, Delivery::MayHaveBeenDone});
    }
    return endings;
}

class CommandOutcomesTest : public AdapterTest {};

TEST_F(CommandOutcomesTest, EveryOperationAgainstEveryEndingOfTheExchange)
{
    const int unused = UnusedLoopbackPort();
    for (const Ending& ending : Endings()) {
        adapter->SetUrl(ending.url != nullptr ? ending.url : "http://127.0.0.1");
        adapter->SetRequestPort(ending.url != nullptr ? gateway->Port() : unused);
        // An answer's status and its first bytes are kept, whatever the status.
        const bool answered = ending.outcome == Outcome::Accepted ||
                              ending.outcome == Outcome::Refused ||
                              ending.outcome == Outcome::ProxyError;
        const std::string& body = ending.reply.body;
        for (const Operation& operation : Operations()) {
            SCOPED_TRACE(std::string(operation.name) + ", " + std::to_string(ending.reply.status) +
                         ", " + (ending.url ? ending.url : "nothing listens"));
            log->Clear();
            gateway->SetReply(operation.path, ending.reply);
            ParamMap map{{"other", "x"}};
            EXPECT_EQ(operation.call(*adapter, map), ending.step == nullptr);
            const bool logged = operation.logs && ending.step != nullptr;
            EXPECT_EQ(log->Messages(),
                      logged ? std::vector<std::string>{std::string("VurodoroViri_Druvel::") +
                                                        operation.name + " Call " + ending.step +
                                                        " ret false"}
                             : std::vector<std::string>{});
            for (const LogLine& line : log->Lines()) {
                EXPECT_EQ(line.level, 2);
                EXPECT_EQ(line.file, "CLS_VurodoroViri_Druvel");
            }
            EXPECT_EQ(VurodoroViri_GetLastExchange().outcome, ending.outcome);
            EXPECT_EQ(VurodoroViri_GetLastExchange().delivery, ending.delivery);
            EXPECT_EQ(VurodoroViri_GetLastExchange().status,
                      answered ? std::to_string(ending.reply.status) : "");
            EXPECT_EQ(VurodoroViri_GetLastReply().text,
                      answered ? body.substr(0, VurodoroViri_kLastReplyLimit) : "");
            EXPECT_EQ(VurodoroViri_GetLastReply().truncated,
                      answered && body.size() > VurodoroViri_kLastReplyLimit);
            // A person reads the proxy's status and its page's title, never the page.
            EXPECT_EQ(VurodoroViri_GetLastExchange().detail.rfind(
                          "HTTP " + std::to_string(ending.reply.status) +
                              " (504 Gateway Time-out) from a proxy",
                          0) == 0,
                      ending.outcome == Outcome::ProxyError)
                << VurodoroViri_GetLastExchange().detail;
            // The keys are read before the request goes, whatever becomes of it.
            EXPECT_EQ(map.at("other"), "x");
            EXPECT_EQ(map.size(), 1 + operation.keysRead);
        }
    }
    EXPECT_EQ(gateway->RequestsTo("facepad/getavailable").front().body, "");
}

TEST_F(CommandOutcomesTest, EachThreadSeesItsOwnLastExchange)
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

// Without a hook nothing is logged; a host's hook is C++ and may throw, and the host still sees
// only true or false.
TEST_F(CommandOutcomesTest, NoHookOrAThrowingHookChangesNoResult)
{
    for (const bool throwing : {false, true}) {
        SCOPED_TRACE(throwing ? "throwing hook" : "no hook");
        log.reset();  // restores the null hook
        ASSERT_EQ(ox_libos_log_debug_ex, nullptr);
        if (throwing) {
            log = std::make_unique<LogCapture>(LogCapture::Hook::RecordsThenThrows);
        }
        ParamMap map;
        gateway->QueueReply("facepad/getavailable", ScriptedReply{404, ""});
        EXPECT_FALSE(adapter->GetAvailableFace(map));
        EXPECT_TRUE(adapter->GetAvailableFace(map));
        EXPECT_FALSE(adapter->SetRequestPort(-1));
        EXPECT_EQ(adapter->GetRequestPort(), gateway->Port());
        gateway->QueueReply("facepad/getterminalstatus", ScriptedReply{200, "Data=[]"});
        EXPECT_FALSE(adapter->GetTerminalStatusFace("T1"));  // logs while it holds the document
        gateway->QueueReply("facepad/getterminalstatus", {200, R"(Data=[{"connstatus":1}])"});
        EXPECT_TRUE(adapter->GetTerminalStatusFace("T1"));
        if (throwing) {
            EXPECT_EQ(log->Lines().size(), 3u);
        }
    }
}

// The extension's helpers.
TEST(Diagnostics, Base64AndVersion)
{
    const std::string foobar = "foobar";  // RFC 4648's vectors are its prefixes
    const char* const encoded[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
    for (std::size_t n = 0; n <= foobar.size(); ++n) {
        EXPECT_EQ(VurodoroViri_Base64Encode(foobar.substr(0, n)), encoded[n]) << n;
    }
    EXPECT_EQ(VurodoroViri_Base64Encode(std::string("\xff\x00\xfe", 3)), "/wD+");
    EXPECT_STREQ(VurodoroViri_GetVersion(), VURODOROVIRI_VERSION);
}

}  // namespace
}  // namespace vvtest
