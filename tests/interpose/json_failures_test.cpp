// Failures of the JSON libraries beneath the adapter: no document, no library.
#include <functional>

#include "adapter_fixture.h"
#include "json_switches.h"

namespace vvtest {
namespace {

// Each construction asks once for json.dll, by its bare name (this program's path has no
// backslash). A failure leaves one line, whatever the hook does, and a whole adapter: a half-built
// one would be left as the one the polling threads work for.
TEST(LibraryLoad, OnceEachConstructionAndAFailureLeavesOneLineAndAWholeAdapter)
{
    TestGateway gateway;
    g_libraryLoadFails = true;
    for (const int hook : {0, 1, 2}) {  // none, recording, recording then throwing
        SCOPED_TRACE(hook);
        ASSERT_EQ(ox_libos_log_debug_ex, nullptr);
        std::unique_ptr<LogCapture> log;
        if (hook > 0) {
            log = std::make_unique<LogCapture>(hook == 1 ? LogCapture::Hook::Records
                                                         : LogCapture::Hook::RecordsThenThrows);
        }
        std::unique_ptr<VurodoroViri_Druvel> adapter;
        const std::size_t loads = LibraryLoadPaths().size();
        EXPECT_NO_THROW(adapter = std::make_unique<VurodoroViri_Druvel>());
        EXPECT_EQ(LibraryLoadPaths().size(), loads + 1);
        EXPECT_EQ(LibraryLoadPaths().back(), "json.dll");
        if (log) {
            EXPECT_EQ(log->Messages(),
                      std::vector<std::string>{
                          "VurodoroViri_Druvel::InitJsonLibrary  json_load_lib fail"});
            EXPECT_EQ(log->Lines().front().level, 2);
            EXPECT_EQ(log->Lines().front().file, "CLS_VurodoroViri_Druvel");
        }
        log.reset();
        EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), adapter.get());
        EXPECT_FALSE(VurodoroViri_TestAccess::ThreadQuit());
        EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 1u);
        adapter->SetUrl(TestGateway::BaseUrl());
        adapter->SetRequestPort(gateway.Port());
        ParamMap map;
        EXPECT_TRUE(adapter->GetAvailableFace(map));
    }
    g_libraryLoadFails = false;
}

class ObjectCreationFailureTest : public AdapterTest {};

// Without its document a command returns false with its line, sends nothing and leaves the host's
// map as it was.
TEST_F(ObjectCreationFailureTest, NoDocumentMeansFalseItsLineNoRequestAndAnUntouchedMap)
{
    using A = VurodoroViri_Druvel;
    const std::pair<std::string, std::function<bool(A&, ParamMap&)>> commands[] = {
        {"AddUser", [](A& a, ParamMap& m) { return a.AddUser("1", "T1", m); }},
        {"DelUser", [](A& a, ParamMap& m) { return a.DelUser("1", "T1", m); }},
        {"SetBiophoto", [](A& a, ParamMap& m) { return a.SetBiophoto("1", "T1", m); }},
        {"DelBiophoto", [](A& a, ParamMap& m) { return a.DelBiophoto("1", "T1", m); }},
        {"SetInitParamFace", [](A& a, ParamMap& m) { return a.SetInitParamFace(m); }},
    };
    const std::size_t sent = gateway->Requests().size();
    g_objectCreationFails = true;
    for (const auto& [name, call] : commands) {
        log->Clear();
        ParamMap map{{"other", "x"}};
        EXPECT_FALSE(call(*adapter, map)) << name;
        EXPECT_EQ(log->Messages(), std::vector<std::string>{"VurodoroViri_Druvel::" + name +
                                                            " jsonData == nullptr"});
        EXPECT_EQ(log->Lines().front().level, 2);
        EXPECT_EQ(map, (ParamMap{{"other", "x"}})) << name;
    }
    g_objectCreationFails = false;
    EXPECT_EQ(gateway->Requests().size(), sent);
}

}  // namespace
}  // namespace vvtest
