// The diagnostics extension's helpers; what it says about exchanges is in command_outcomes_test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "VurodoroViri_Diagnostics.h"
#include "VurodoroViri_Version.h"

namespace vvtest {
namespace {

using Osmer_Framework::Face::VurodoroViri_Base64Encode;
using Osmer_Framework::Face::VurodoroViri_GetVersion;

TEST(Diagnostics, Base64AndVersion)
{
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", ""},
        {"f", "Zg=="},
        {"fo", "Zm8="},
        {"foo", "Zm9v"},
        {"foob", "Zm9vYg=="},
        {"fooba", "Zm9vYmE="},
        {"foobar", "Zm9vYmFy"},
        {std::string("\xff\x00\xfe", 3), "/wD+"},
    };
    for (const auto& v : vectors) {
        EXPECT_EQ(VurodoroViri_Base64Encode(v.first), v.second) << v.first;
    }
    EXPECT_STREQ(VurodoroViri_GetVersion(), VURODOROVIRI_VERSION);
}

}  // namespace
}  // namespace vvtest
