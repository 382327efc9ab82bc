// Terminal status (reading the status list out of the reply) and the door command.
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
        // any serial: none is the one asked for
        {R"(Data=[{"sn":"X","connstatus":0},{"sn":"Y","connstatus":2}])", true, nullptr},
        {R"(Data=[{"sn":"ABC123","connstatus":0}])", false, nullptr},
        {R"({"Data":[{"connstatus":1}]})", false, kNoList},  // two characters before "["
        {R"(Data={"connstatus":1})", false, kNoList},
        {"", false, kNoList},
        {R"(Data=x Data=[{"connstatus":1}])", false, kNoList},  // only the first "Data" counts
        {"Data=[]", false, kEmptyList},
        {R"(Data=[] Data=[{"connstatus":1}])", false, kEmptyList},
    };
    for (const Case& c : cases) {
        log->Clear();
        gateway->QueueReply(kStatusPath, ScriptedReply{200, c.reply});
        EXPECT_EQ(adapter->GetTerminalStatusFace("ABC123"), c.connected) << c.reply;
        EXPECT_EQ(log->Messages(), c.line ? Lines{c.line} : Lines{}) << c.reply;
    }
    EXPECT_EQ(log->Lines().front().level, 2);
    EXPECT_EQ(gateway->RequestsTo(kStatusPath).front().body, "SN=ABC123");
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
