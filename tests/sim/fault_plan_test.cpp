// The fault plan: its command-line form and its random sequence. Which requests it spoils is in
// http_server_test.
#include "fault_plan.h"

#include <gtest/gtest.h>

namespace {

using facepad::sim::AddStatusOverride;
using facepad::sim::FaultKind;
using facepad::sim::FaultPlan;
using facepad::sim::FaultSettings;

TEST(FaultPlan, StatusOverridesAreReadFromEndpointEqualsStatus)
{
    std::map<std::string, int> overrides;
    EXPECT_EQ(AddStatusOverride("facepad/adduser=503", overrides), "");
    EXPECT_EQ(AddStatusOverride("/facepad/binding=404", overrides), "");
    EXPECT_EQ(AddStatusOverride("deluser=502", overrides), "");
    EXPECT_EQ(overrides,
              (std::map<std::string, int>{
                  {"facepad/adduser", 503}, {"facepad/binding", 404}, {"facepad/deluser", 502}}));
    for (const char* bad :
         {"facepad/adduser", "=503", "facepad/adduser=99", "facepad/adduser=600",
          "facepad/adduser=x", "bogus=500", "facepad/bogus=500", "other/adduser=500"}) {
        EXPECT_NE(AddStatusOverride(bad, overrides), "") << bad;
    }
}

TEST(FaultPlan, SameSeedGivesSameSequenceAndRateIsRoughlyKept)
{
    FaultSettings settings;
    settings.failRate = 0.3;
    settings.seed = 42;
    FaultPlan first(settings);
    FaultPlan second(settings);
    int failures = 0;
    for (int i = 0; i < 1000; ++i) {
        const auto kind = first.Decide("facepad/adduser").kind;
        EXPECT_EQ(kind, second.Decide("facepad/adduser").kind);
        failures += kind == FaultKind::ServerError ? 1 : 0;
    }
    EXPECT_GT(failures, 200);
    EXPECT_LT(failures, 400);
}

}  // namespace
