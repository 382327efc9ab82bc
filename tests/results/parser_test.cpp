// Result lists into the result map: merging per terminal, skipped elements, odd shapes.
#include <gtest/gtest.h>

#include "adapter_fixture.h"

namespace vvtest {
namespace {

const char* const kListUnreadable = "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr";
const char* const kEntriesUnreadable =
    "VurodoroViri_Druvel::JsonDataToMapData jsonDataRet == nullptr";

// One outer element whose "data" is the given entry-list text.
std::string Element(const std::string& sn, const std::string& entries)
{
    std::string quoted;
    for (char c : entries) {
        if (c == '"' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return R"({"SN":")" + sn + R"(","data":")" + quoted + R"("})";
}

class ParserTest : public ::testing::Test {
protected:
    LogCapture log;
    VurodoroViri_Druvel adapter;
    ResultMap results;
};

TEST_F(ParserTest, OneTerminalOneEntry)
{
    results["OTHER"] = {{"1", "x"}};
    ASSERT_TRUE(adapter.JsonDataToMapData("[" + Element("T1", R"([{"id":"7","return":"0"}])") + "]",
                                          results));
    EXPECT_EQ(results, (ResultMap{{"OTHER", {{"1", "x"}}}, {"T1", {{"7", "0"}}}}));
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ParserTest, ANamedTerminalIsReplacedWhole)
{
    results["T1"] = {{"5", "a"}, {"7", "b"}};
    ASSERT_TRUE(adapter.JsonDataToMapData("[" + Element("T1", R"([{"id":"7","return":"0"}])") + "]",
                                          results));
    EXPECT_EQ(results, (ResultMap{{"T1", {{"7", "0"}}}}));
}

TEST_F(ParserTest, EmptyOuterListChangesNothing)
{
    results["T1"] = {{"5", "a"}};
    const ResultMap before = results;
    EXPECT_TRUE(adapter.JsonDataToMapData("[]", results));
    EXPECT_EQ(results, before);
}

TEST_F(ParserTest, EmptyEntryListStoresTheTerminalWithNoEntries)
{
    ASSERT_TRUE(adapter.JsonDataToMapData("[" + Element("T1", "[]") + "]", results));
    EXPECT_EQ(results, (ResultMap{{"T1", {}}}));
}

TEST_F(ParserTest, MissingSerialIsTheEmptyKey)
{
    ASSERT_TRUE(
        adapter.JsonDataToMapData(R"([{"data":"[{\"id\":\"1\",\"return\":\"2\"}]"}])", results));
    EXPECT_EQ(results, (ResultMap{{"", {{"1", "2"}}}}));
}

TEST_F(ParserTest, EmptyOrMissingDataSkipsTheElementSilently)
{
    ASSERT_TRUE(adapter.JsonDataToMapData(R"([{"SN":"T1","data":""},{"SN":"T2"}])", results));
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(log.Lines().empty());
}

TEST_F(ParserTest, UnreadableEntryListIsLoggedAndTheRestIsStored)
{
    ASSERT_TRUE(adapter.JsonDataToMapData("[" + Element("BAD", "{not json") + "," +
                                              Element("T2", R"([{"id":"1","return":"0"}])") + "]",
                                          results));
    EXPECT_EQ(results, (ResultMap{{"T2", {{"1", "0"}}}}));
    ASSERT_EQ(log.Lines().size(), 1u);
    EXPECT_EQ(log.Lines()[0].message, kEntriesUnreadable);
    EXPECT_EQ(log.Lines()[0].level, 4);
    EXPECT_EQ(log.Lines()[0].file, "CLS_VurodoroViri_Druvel");
}

TEST_F(ParserTest, LaterDuplicatesWin)
{
    const std::string list = "[" +
                             Element("T1", R"([{"id":"1","return":"a"},{"id":"1","return":"b"}])") +
                             "," + Element("T2", R"([{"id":"9","return":"x"}])") + "," +
                             Element("T2", R"([{"id":"8","return":"y"}])") + "]";
    ASSERT_TRUE(adapter.JsonDataToMapData(list, results));
    EXPECT_EQ(results, (ResultMap{{"T1", {{"1", "b"}}}, {"T2", {{"8", "y"}}}}));
}

TEST_F(ParserTest, TextThatIsNotJsonReturnsFalseAndLeavesTheMap)
{
    results["T1"] = {{"5", "a"}};
    const ResultMap before = results;
    for (const char* text : {"", "not json", "{\"SN\":", "[{\"SN\":\"T1\""}) {
        log.Clear();
        EXPECT_FALSE(adapter.JsonDataToMapData(text, results)) << text;
        EXPECT_EQ(results, before);
        ASSERT_EQ(log.Lines().size(), 1u) << text;
        EXPECT_EQ(log.Lines()[0].message, kListUnreadable);
        EXPECT_EQ(log.Lines()[0].level, 4);
    }
}

TEST_F(ParserTest, CharactersAfterTheArrayAreIgnored)
{
    ASSERT_TRUE(adapter.JsonDataToMapData(
        "[" + Element("T1", R"([{"id":"7","return":"0"}] trailing)") + "]}, \"more\": 1}",
        results));
    EXPECT_EQ(results, (ResultMap{{"T1", {{"7", "0"}}}}));
}

TEST_F(ParserTest, UnexpectedShapesReadAsEmpty)
{
    // Outer value not an array: nothing to walk, still JSON.
    EXPECT_TRUE(adapter.JsonDataToMapData(R"({"SN":"T1","data":"[]"})", results));
    EXPECT_TRUE(adapter.JsonDataToMapData("42", results));
    EXPECT_TRUE(results.empty());
    // Null and non-object elements have no fields; "data" of another type reads as empty.
    EXPECT_TRUE(adapter.JsonDataToMapData(R"([null, 3, "s", [1], {"SN":"T1","data":[]},
                                              {"SN":"T2","data":{"id":"1"}}])",
                                          results));
    EXPECT_TRUE(results.empty());
    // An entry list that is not an array, and entries of other shapes and types.
    ASSERT_TRUE(adapter.JsonDataToMapData(
        "[" + Element("T1", R"({"id":"1"})") + "," +
            Element("T2", R"([null, 5, {"id":7,"return":0}, {"id":"8","return":["x"]}])") + "]",
        results));
    EXPECT_EQ(results, (ResultMap{{"T1", {}}, {"T2", {{"", ""}, {"8", ""}}}}));
}

TEST_F(ParserTest, SerialTextIsKeptByteForByte)
{
    ASSERT_TRUE(adapter.JsonDataToMapData(
        R"([{"SN":"A\tB \u00e9","data":"[{\"id\":\" 7 \",\"return\":\"-1\"}]"}])", results));
    EXPECT_EQ(results, (ResultMap{{"A\tB \xc3\xa9", {{" 7 ", "-1"}}}}));
}

}  // namespace
}  // namespace vvtest
