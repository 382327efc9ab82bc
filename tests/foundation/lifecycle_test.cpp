// Construction and destruction as the host sees them.
#include <gtest/gtest.h>

#include "adapter_fixture.h"

namespace vvtest {
namespace {

using Osmer_Framework::Face::CLS_VurodoroViri_Base;

TEST(Lifecycle, ConstructionSetsTheStaticsAndDestructionRaisesTheFlag)
{
    LogCapture log;
    auto* adapter = new VurodoroViri_Druvel();
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), adapter);
    EXPECT_FALSE(VurodoroViri_TestAccess::ThreadQuit());
    CLS_VurodoroViri_Base* base = adapter;
    delete base;  // through the interface: the adapter's destructor runs
    EXPECT_TRUE(VurodoroViri_TestAccess::ThreadQuit());
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), adapter);
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 0u);
    EXPECT_TRUE(log.Messages().empty()) << "json_load_lib succeeds, nothing to log";
}

TEST(Lifecycle, SecondConstructionTakesOverTheStatics)
{
    VurodoroViri_Druvel first;
    VurodoroViri_Druvel second;
    EXPECT_EQ(VurodoroViri_TestAccess::CarGate(), &second);
    EXPECT_FALSE(VurodoroViri_TestAccess::ThreadQuit());
    EXPECT_EQ(VurodoroViri_TestAccess::RunningPollers(), 2u);
}

}  // namespace
}  // namespace vvtest
