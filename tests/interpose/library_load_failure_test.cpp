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

TEST(LibraryLoad, FailureLogsOneLineAndTheAdapterStillWorks)
{
    TestGateway gateway;
    LogCapture log;
    FailingLibraryLoad failing;
    VurodoroViri_Druvel adapter;
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), &adapter);
    EXPECT_FALSE(VurodoroViri_TestAccess::ThreadQuit());
    ASSERT_EQ(log.Messages(), std::vector<std::string>{kLoadFailed});
    EXPECT_EQ(log.Lines().front().level, 2);
    EXPECT_EQ(log.Lines().front().file, "CLS_VurodoroViri_Druvel");

    adapter.SetUrl(TestGateway::BaseUrl());
    adapter.SetRequestPort(gateway.Port());
    ParamMap map;
    EXPECT_TRUE(adapter.GetAvailableFace(map));
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 1u);
}

TEST(LibraryLoad, FailureWithoutAHookIsSilent)
{
    ASSERT_EQ(ox_libos_log_debug_ex, nullptr);
    FailingLibraryLoad failing;
    VurodoroViri_Druvel adapter;
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), &adapter);
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 1u);
}

// A hook that throws while the failure is reported must not cut the construction short: a
// half-built adapter would be left as the one the polling threads work for.
TEST(LibraryLoad, ThrowingHookDoesNotStopTheConstruction)
{
    FailingLibraryLoad failing;
    std::unique_ptr<VurodoroViri_Druvel> adapter;
    {
        LogCapture log(LogCapture::Hook::RecordsThenThrows);
        EXPECT_NO_THROW(adapter = std::make_unique<VurodoroViri_Druvel>());
        EXPECT_EQ(log.Messages(), std::vector<std::string>{kLoadFailed});
    }
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), adapter.get());
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 1u);
}

}  // namespace
}  // namespace vvtest
