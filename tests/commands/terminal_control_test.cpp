// Terminal status (reading the status list out of the reply) and the door command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_fixture.h"

namespace vvtest {
namespace {

using Lines = std::vector<std::string>;

const char* const kStatusPath = "facepad/getterminalstatus";
const char* const kNoList = "VurodoroViri_Druvel::GetTerminalStatusFace jsonData array is nullptr";
const char* const kEmptyList =
    "VurodoroViri_Druvel::GetTerminalStatusFace Call GetLastPostStatus ret false";

class TerminalControlTest : public AdapterTest {};

// Any element with "connstatus" above 0 means connected; the list follows the first "Data" after
// exactly one character, and one that cannot be read is logged by its kind.
TEST_F(TerminalControlTest, StatusListIsReadAfterTheWordData)
{
    struct Case {
        const char* reply;
        bool connected;
        const char* line;  // null: nothing logged
    };
    const Case cases[] = {
        {R"(Data=[{"sn":"ABC123","connstatus":1}])", true, nullptr},
        // none of the serials is the one asked for
        {R"({Data:[{"sn":"X","connstatus":0},{"sn":"Y","connstatus":2},{"sn":"Z"}]})", true,
         nullptr},
        {R"(Data [{"connstatus":7}] trailing text)", true, nullptr},
        {R"(Data=[{"sn":"ABC123","connstatus":0}])", false, nullptr},
        {R"(Data=[{"sn":"ABC123","connstatus":-3}])", false, nullptr},
        {R"(Data=[{"sn":"ABC123"}])", false, nullptr},
        {R"(Data=[{"connstatus":"1"},{"connstatus":1.5}])", false, nullptr},  // integers only
        {R"(Data=[1,2,"x"])", false, nullptr},
        {R"(Data=[ ])", false, nullptr},
        {R"({"Data":[{"connstatus":1}]})", false, kNoList},  // two characters before "["
        {R"({"data":[{"connstatus":1}]})", false, kNoList},  // the word is case-sensitive
        {R"(Data={"connstatus":1})", false, kNoList},
        {R"(Data=5)", false, kNoList},
        {"", false, kNoList},
        {"Data", false, kNoList},
        {"Data=", false, kNoList},
        {"Data=[", false, kNoList},
        {R"(Data=x Data=[{"connstatus":1}])", false, kNoList},  // only the first "Data" counts
        {"Data=[]", false, kEmptyList},
        {R"(Data=[] Data=[{"connstatus":1}])", false, kEmptyList},
        // json-c's reading: the last of equal names wins; a comment left open after a value ends
        // the text with that value as the document
        {R"(Data=[{"connstatus":2,"connstatus":"x"}])", false, nullptr},
        {R"(Data=[[{"connstatus":1}] /* open)", true, nullptr},
        {R"(Data=[{"connstatus":1} // open)", false, kNoList},
    };
    for (const Case& c : cases) {
        log->Clear();
        gateway->QueueReply(kStatusPath, ScriptedReply{200, c.reply});
        EXPECT_EQ(adapter->GetTerminalStatusFace("ABC123"), c.connected) << c.reply;
        EXPECT_EQ(log->Messages(), c.line ? Lines{c.line} : Lines{}) << c.reply;
    }
    EXPECT_EQ(log->Lines().front().level, 2);
    const auto requests = gateway->RequestsTo(kStatusPath);
    EXPECT_EQ(requests.front().body, "SN=ABC123");
}

TEST_F(TerminalControlTest, UnlockSendsTheFourFieldsAndIgnoresTheTrailingArguments)
{
    EXPECT_TRUE(adapter->ControlDeviceFace("42", "ABC123", "", "", ""));
    EXPECT_TRUE(adapter->ControlDeviceFace("42", "ABC123", "x", "cmd=REBOOT", "\t"));
    EXPECT_TRUE(adapter->ControlDeviceFace("", "", "a", "b", "c"));
    const auto requests = gateway->RequestsTo("facepad/controldevice");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].body, "SN=ABC123\tid=42\tcmd=AC_UNLOCK\tdata=");
    EXPECT_EQ(requests[1].body, requests[0].body);
    EXPECT_EQ(requests[2].body, "SN=\tid=\tcmd=AC_UNLOCK\tdata=");
}

}  // namespace
}  // namespace vvtest
