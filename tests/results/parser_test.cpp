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

std::string List(std::initializer_list<std::string> elements)
{
    std::string list;
    for (const std::string& element : elements) {
        list += (list.empty() ? "[" : ",") + element;
    }
    return list.empty() ? "[]" : list + "]";
}

TEST(Parser, MergesEachListIntoTheMap)
{
    const std::string entry7 = R"([{"id":"7","return":"0"}])";
    struct Case {
        const char* what;
        std::string list;
        ResultMap before;
        bool parsed;
        ResultMap after;
        const char* line;  // the one line logged, at level 4; null: none
    };
    const Case cases[] = {
        {"one terminal, one entry; other terminals stay",
         List({Element("T1", entry7)}),
         {{"OTHER", {{"1", "x"}}}},
         true,
         {{"OTHER", {{"1", "x"}}}, {"T1", {{"7", "0"}}}},
         nullptr},
        {"a named terminal is replaced whole",
         List({Element("T1", entry7)}),
         {{"T1", {{"5", "a"}, {"7", "b"}}}},
         true,
         {{"T1", {{"7", "0"}}}},
         nullptr},
        {"an empty list changes nothing",
         "[]",
         {{"T1", {{"5", "a"}}}},
         true,
         {{"T1", {{"5", "a"}}}},
         nullptr},
        {"an empty entry list stores the terminal bare",
         List({Element("T1", "[]")}),
         {},
         true,
         {{"T1", {}}},
         nullptr},
        {"a missing serial is the empty key",
         R"([{"data":"[{\"id\":\"1\",\"return\":\"2\"}]"}])",
         {},
         true,
         {{"", {{"1", "2"}}}},
         nullptr},
        {"empty or missing data skips the element",
         R"([{"SN":"T1","data":""},{"SN":"T2"}])",
         {},
         true,
         {},
         nullptr},
        {"an unreadable entry list is logged, the rest stored",
         List({Element("BAD", "{not json"), Element("T2", R"([{"id":"1","return":"0"}])")}),
         {},
         true,
         {{"T2", {{"1", "0"}}}},
         kEntriesUnreadable},
        {"later duplicates win",
         List({Element("T1", R"([{"id":"1","return":"a"},{"id":"1","return":"b"}])"),
               Element("T2", R"([{"id":"9","return":"x"}])"),
               Element("T2", R"([{"id":"8","return":"y"}])")}),
         {},
         true,
         {{"T1", {{"1", "b"}}}, {"T2", {{"8", "y"}}}},
         nullptr},
        {"characters after the array are ignored",
         "[" + Element("T1", R"([{"id":"7","return":"0"}] trailing)") + "]}, \"more\": 1}",
         {},
         true,
         {{"T1", {{"7", "0"}}}},
         nullptr},
        {"an outer object is nothing to walk", R"({"SN":"T1","data":"[]"})", {}, true, {}, nullptr},
        {"a number is nothing to walk", "42", {}, true, {}, nullptr},
        // Null and non-object elements have no fields; "data" of another type reads as empty.
        {"elements of other shapes",
         R"([null, 3, "s", [1], {"SN":"T1","data":[]}, {"SN":"T2","data":{"id":"1"}}])",
         {},
         true,
         {},
         nullptr},
        {"entry lists and entries of other shapes",
         List({Element("T1", R"({"id":"1"})"),
               Element("T2", R"([null, 5, {"id":7,"return":0}, {"id":"8","return":["x"]}])")}),
         {},
         true,
         {{"T1", {}}, {"T2", {{"", ""}, {"8", ""}}}},
         nullptr},
        {"the serial is kept byte for byte",
         R"([{"SN":"A\tB \u00e9","data":"[{\"id\":\" 7 \",\"return\":\"-1\"}]"}])",
         {},
         true,
         {{"A\tB \xc3\xa9", {{" 7 ", "-1"}}}},
         nullptr},
    };
    std::vector<Case> all(std::begin(cases), std::end(cases));
    for (const char* text : {"", "not json", "{\"SN\":", "[{\"SN\":\"T1\""}) {
        all.push_back({"not JSON: the map stays",
                       text,
                       {{"T1", {{"5", "a"}}}},
                       false,
                       {{"T1", {{"5", "a"}}}},
                       kListUnreadable});
    }
    LogCapture log;
    VurodoroViri_Druvel adapter;
    for (const Case& c : all) {
        log.Clear();
        ResultMap results = c.before;
        EXPECT_EQ(adapter.JsonDataToMapData(c.list, results), c.parsed) << c.what << ": " << c.list;
        EXPECT_EQ(results, c.after) << c.what;
        const auto lines = log.Lines();
        ASSERT_EQ(lines.size(), c.line ? 1u : 0u) << c.what << ": " << c.list;
        if (c.line) {
            EXPECT_EQ(lines[0].message, c.line);
            EXPECT_EQ(lines[0].level, 4);
            EXPECT_EQ(lines[0].file, "CLS_VurodoroViri_Druvel");
        }
    }
}

}  // namespace
}  // namespace vvtest
