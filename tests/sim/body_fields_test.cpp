// The TAB-separated body reader: what it accepts and how it names what it refuses.
#include "body_fields.h"

#include <gtest/gtest.h>

#include "terminal_option.h"

namespace {

using facepad::sim::FieldSpec;
using facepad::sim::ParseDecimal;
using facepad::sim::ParseFields;

const std::vector<FieldSpec> kCommand = {{"SN"}, {"id"}, {"data"}};

TEST(BodyFields, ReadsFieldsInOrderAndKeepsEqualsSignsInValues)
{
    const auto parsed = ParseFields("SN=T1\tid=7\tdata={\"a\":\"x=y\"}", kCommand);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.values, (std::vector<std::string>{"T1", "7", "{\"a\":\"x=y\"}"}));
}

TEST(BodyFields, KeepsEmptyValuesAndCountsEveryTabAsASeparator)
{
    const auto empty = ParseFields("SN=\tid=\tdata=", kCommand);
    ASSERT_TRUE(empty.ok()) << empty.error;
    EXPECT_EQ(empty.values, (std::vector<std::string>{"", "", ""}));
    const auto tabbed = ParseFields("SN=T1\tid=7\tdata=a\tb", kCommand);
    EXPECT_NE(tabbed.error.find("got 4"), std::string::npos) << tabbed.error;
    EXPECT_FALSE(ParseFields("SN=T1\t", {{"SN"}}).ok());
}

TEST(BodyFields, RefusalsNameTheExpectedFieldsAndTheOffendingText)
{
    const auto tooFew = ParseFields("SN=T1\tid=7", kCommand);
    EXPECT_NE(tooFew.error.find("expected 3 TAB-separated field(s) (SN=, id=, data=), got 2"),
              std::string::npos)
        << tooFew.error;
    const auto misnamed = ParseFields("SN=T1\tID=7\tdata={}", kCommand);
    EXPECT_NE(misnamed.error.find("field 2 must start with \"id=\", got \"ID=7\""),
              std::string::npos)
        << misnamed.error;
    // '&' is the form separator browsers use; the adapter never sends it.
    const auto ampersand = ParseFields("SN=T1&id=7&data={}", kCommand);
    EXPECT_FALSE(ampersand.ok());
}

TEST(BodyFields, ResetIsFollowedByItsValueWithoutEquals)
{
    const std::vector<FieldSpec> setPort = {{"port"}, {"reset", false}};
    const auto parsed = ParseFields("port=10001\treset1", setPort);
    ASSERT_TRUE(parsed.ok()) << parsed.error;
    EXPECT_EQ(parsed.values, (std::vector<std::string>{"10001", "1"}));
    EXPECT_FALSE(ParseFields("port=10001\tres1", setPort).ok());
}

TEST(BodyFields, DecimalsAreReadTheWayPrintfWritesThem)
{
    EXPECT_EQ(ParseDecimal("0"), 0);
    EXPECT_EQ(ParseDecimal("-5"), -5);
    EXPECT_EQ(ParseDecimal("2147483647"), 2147483647LL);
    for (const char* bad : {"", "-", "+1", " 1", "1 ", "1a", "0x10", "1234567890123456789"}) {
        EXPECT_FALSE(ParseDecimal(bad).has_value()) << bad;
    }
}

TEST(TerminalSpec, SerialAloneIsConnectedAndOfflineSuffixIsNot)
{
    const auto online = facepad::sim::ParseTerminalSpec("FACE-1");
    ASSERT_TRUE(online.ok());
    EXPECT_EQ(online.value.serial, "FACE-1");
    EXPECT_TRUE(online.value.connected);
    const auto offline = facepad::sim::ParseTerminalSpec("FACE-2:offline");
    ASSERT_TRUE(offline.ok());
    EXPECT_EQ(offline.value.serial, "FACE-2");
    EXPECT_FALSE(offline.value.connected);
    for (const char* bad : {"", ":offline", "A:B", "A=B", "A\tB"}) {
        EXPECT_FALSE(facepad::sim::ParseTerminalSpec(bad).ok()) << bad;
    }
}

}  // namespace
