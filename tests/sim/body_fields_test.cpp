// The TAB-separated body reader: what it accepts and how it names what it refuses.
#include "body_fields.h"

#include <gtest/gtest.h>

namespace {

using facepad::sim::FieldSpec;
using facepad::sim::ParseDecimal;
using facepad::sim::ParseFields;

const std::vector<FieldSpec> kCommand = {{"SN"}, {"id"}, {"data"}};

// Fields in order, "=" kept inside values, every TAB a separator, reset's value without "=";
// a refusal names the expected fields and the offending text.
TEST(BodyFields, ReadsTheFieldsOrNamesWhatIsWrong)
{
    const std::vector<FieldSpec> setPort = {{"port"}, {"reset", false}};
    struct Case {
        std::string body;
        std::vector<FieldSpec> wanted;
        std::vector<std::string> values;
        const char* error;  // part of the refusal; null: accepted
    };
    const Case cases[] = {
        {"SN=T1\tid=7\tdata={\"a\":\"x=y\"}", kCommand, {"T1", "7", "{\"a\":\"x=y\"}"}, nullptr},
        {"SN=\tid=\tdata=", kCommand, {"", "", ""}, nullptr},
        {"port=10001\treset1", setPort, {"10001", "1"}, nullptr},
        {"SN=T1\tid=7\tdata=a\tb", kCommand, {}, "got 4"},
        {"SN=T1\t", {{"SN"}}, {}, "got 2"},
        {"SN=T1\tID=7\tdata={}", kCommand, {}, "field 2 must start with \"id=\", got \"ID=7\""},
        {"SN=T1&id=7&data={}", kCommand, {}, "got 1"},  // '&' is the browsers' separator
        {"port=10001\tres1", setPort, {}, "field 2 must start with \"reset\""},
    };
    for (const Case& c : cases) {
        const auto parsed = ParseFields(c.body, c.wanted);
        EXPECT_EQ(parsed.ok(), c.error == nullptr) << c.body << ": " << parsed.error;
        if (c.error == nullptr) {
            EXPECT_EQ(parsed.values, c.values) << c.body;
        } else {
            EXPECT_NE(parsed.error.find(c.error), std::string::npos)
                << c.body << ": " << parsed.error;
        }
    }
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

}  // namespace
