// The JSON library cannot be loaded: one log line, and the adapter is constructed all the same.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "library_load_switch.h"
#include "ox_toolkit.h"

namespace vvtest {
namespace {

const char* const kLoadFailed = "VurodoroViri_Druvel::InitJsonLibrary  json_load_lib fail";

// The host program's path has no backslash here, so the bare name is asked for; the guard also
// proves that the interposition takes effect.
TEST(LibraryLoad, EachConstructionAsksForJsonDllOnce)
{
    const std::size_t before = LibraryLoadPaths().size();
    {
        VurodoroViri_Druvel adapter;
    }
    const auto paths = LibraryLoadPaths();
    ASSERT_EQ(paths.size(), before + 1);
    EXPECT_EQ(paths.back(), "json.dll");
}

// One line, with or without a hook and even when the hook throws on it: a half-built adapter
// would be left as the one the polling threads work for.
TEST(LibraryLoad, FailureLogsOneLineAndTheAdapterIsBuiltAllTheSame)
{
    TestGateway gateway;
    FailingLibraryLoad failing;
    for (const int hook : {0, 1, 2}) {  // none, recording, recording then throwing
        SCOPED_TRACE(hook);
        ASSERT_EQ(ox_libos_log_debug_ex, nullptr);
        std::unique_ptr<LogCapture> log;
        if (hook > 0) {
            log = std::make_unique<LogCapture>(hook == 1 ? LogCapture::Hook::Records
                                                         : LogCapture::Hook::RecordsThenThrows);
        }
        std::unique_ptr<VurodoroViri_Druvel> adapter;
        EXPECT_NO_THROW(adapter = std::make_unique<VurodoroViri_Druvel>());
        if (log) {
            EXPECT_EQ(log->Messages(), std::vector<std::string>{kLoadFailed});
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
}

}  // namespace
}  // namespace vvtest
