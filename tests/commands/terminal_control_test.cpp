// Terminal status (reading the status list out of the reply) and the door command.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "adapter_fixture.h"
#include "ox_toolkit.h"

namespace vvtest {
namespace {

using Lines = std::vector<std::string>;

const char* const kStatusPath = "facepad/getterminalstatus";
const char* const kNoList = "VurodoroViri_Druvel::GetTerminalStatusFace jsonData array is nullptr";
const char* const kEmptyList =
    "VurodoroViri_Druvel::GetTerminalStatusFace Call GetLastPostStatus ret false";

class TerminalControlTest : public AdapterTest {
protected:
    bool StatusWithReply(const std::string& reply)
    {
        log->Clear();
        gateway->QueueReply(kStatusPath, ScriptedReply{200, reply});
        return adapter->GetTerminalStatusFace("ABC123");
    }
};

TEST_F(TerminalControlTest, StatusQuerySendsTheSerialAlone)
{
    StatusWithReply("");
    EXPECT_EQ(OnlyBodyTo(kStatusPath), "SN=ABC123");
    EXPECT_EQ(OnlyBodyTo(kStatusPath).size(), 9u);
}

TEST_F(TerminalControlTest, AnyElementWithConnstatusAbove0MeansConnected)
{
    struct Case {
        const char* reply;
        bool connected;
    };
    const Case cases[] = {
        {R"(Data=[{"sn":"ABC123","connstatus":1}])", true},
        // none of the serials is the one asked for
        {R"({Data:[{"sn":"X","connstatus":0},{"sn":"Y","connstatus":2},{"sn":"Z"}]})", true},
        {R"(Data [{"connstatus":7}] trailing text)", true},
        {R"(Data=[{"sn":"ABC123","connstatus":0}])", false},
        {R"(Data=[{"sn":"ABC123","connstatus":-3}])", false},
        {R"(Data=[{"sn":"ABC123"}])", false},
        {R"(Data=[{"connstatus":"1"}])", false},
        {R"(Data=[1,2,"x"])", false},
        {R"(Data=[ ])", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StatusWithReply(c.reply), c.connected) << c.reply;
        EXPECT_EQ(log->Messages(), Lines{}) << c.reply;
    }
}

TEST_F(TerminalControlTest, UnreadableStatusListsAreLoggedByKind)
{
    struct Case {
        const char* reply;
        const char* line;
    };
    const Case cases[] = {
        {R"({"Data":[{"connstatus":1}]})", kNoList},  // two characters before "["
        {R"({"data":[{"connstatus":1}]})", kNoList},  // the word is case-sensitive
        {R"(Data={"connstatus":1})", kNoList},
        {R"(Data=5)", kNoList},
        {"", kNoList},
        {"Data", kNoList},
        {"Data=", kNoList},
        {"Data=[", kNoList},
        {R"(Data=x Data=[{"connstatus":1}])", kNoList},  // only the first "Data" counts
        {"Data=[]", kEmptyList},
        {R"(Data=[] Data=[{"connstatus":1}])", kEmptyList},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(StatusWithReply(c.reply)) << c.reply;
        EXPECT_EQ(log->Messages(), Lines{c.line}) << c.reply;
    }
    EXPECT_EQ(log->Lines().front().level, 2);
}

TEST_F(TerminalControlTest, StatusLinesNeedNoLogHook)
{
    log.reset();
    ASSERT_EQ(ox_libos_log_debug_ex, nullptr);
    gateway->QueueReply(kStatusPath, ScriptedReply{200, "Data=[]"});
    EXPECT_FALSE(adapter->GetTerminalStatusFace("T1"));
    gateway->QueueReply(kStatusPath, ScriptedReply{200, "data=[]"});
    EXPECT_FALSE(adapter->GetTerminalStatusFace("T1"));
    gateway->QueueReply(kStatusPath, ScriptedReply{200, R"(Data=[{"connstatus":1}])"});
    EXPECT_TRUE(adapter->GetTerminalStatusFace("T1"));
}

TEST_F(TerminalControlTest, UnlockSendsTheFourFieldsAndIgnoresTheTrailingArguments)
{
    EXPECT_TRUE(adapter->ControlDeviceFace("42", "ABC123", "", "", ""));
    EXPECT_TRUE(adapter->ControlDeviceFace("42", "ABC123", "x", "cmd=REBOOT", "\t"));
    EXPECT_TRUE(adapter->ControlDeviceFace("", "", "a", "b", "c"));
    const auto requests = gateway->RequestsTo("facepad/controldevice");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].body, "SN=ABC123\tid=42\tcmd=AC_UNLOCK\tdata=");
    EXPECT_EQ(requests[0].body.size(), 35u);
    EXPECT_EQ(requests[1].body, requests[0].body);
    EXPECT_EQ(requests[2].body, "SN=\tid=\tcmd=AC_UNLOCK\tdata=");
    EXPECT_EQ(requests[2].body.size(), 27u);
}

}  // namespace
}  // namespace vvtest
