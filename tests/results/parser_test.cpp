// Result lists into the result map: merging per terminal, skipped elements, a stop request. Where a
// reply's list starts (after the first key word and one character, up to a NUL byte) is in the
// corpus of fuzz/fuzz_result_reply.cpp, whose replay compares it with a plain search of the reply.
#include <gtest/gtest.h>

#include "adapter_fixture.h"
#include "result_parser.h"

namespace vvtest {
namespace {

using namespace Osmer_Framework::Face;

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

// Each case starts from a map that holds terminal T1. A list that is not JSON as a whole is refused
// and logged, however many good elements come first; an unreadable entry list is logged and
// skipped. Every other shape, and json-c's own reading of odd texts, is in the corpus of
// fuzz/fuzz_result_list.cpp, whose replay compares the parser with json-c's whole-document reading.
TEST(Parser, MergesEachListIntoTheMap)
{
    const ResultMap kept{{"T1", {{"5", "a"}}}};
    const std::string entry7 = R"([{"id":"7","return":"0"}])";
    std::string manyThenBad = "[";
    for (int i = 0; i < 3000; ++i) {
        manyThenBad += Element("T" + std::to_string(i), entry7) + ",";
    }
    struct Case {
        std::string list;
        ResultMap after;
        const char* line = nullptr;  // logged at level 4
    };
    const Case cases[] = {
        {List({Element("T1", entry7)}), {{"T1", {{"7", "0"}}}}},  // replaced whole
        {List({Element("T2", entry7)}), {{"T1", {{"5", "a"}}}, {"T2", {{"7", "0"}}}}},
        {List({Element("BAD", "{not json"), Element("T2", entry7)}),
         {{"T1", {{"5", "a"}}}, {"T2", {{"7", "0"}}}},
         kEntriesUnreadable},
        {manyThenBad + "x]", kept, kListUnreadable},
        {"", kept, kListUnreadable},
    };
    LogCapture log;
    VurodoroViri_Druvel adapter;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.list.substr(0, 80));
        log.Clear();
        ResultMap results = kept;
        EXPECT_EQ(adapter.JsonDataToMapData(c.list, results), c.line != kListUnreadable);
        EXPECT_EQ(results, c.after);
        const auto lines = log.Lines();
        ASSERT_EQ(lines.size(), c.line ? 1u : 0u);
        if (c.line) {
            EXPECT_EQ(lines[0].message, c.line);
            EXPECT_EQ(lines[0].level, 4);
            EXPECT_EQ(lines[0].file, "CLS_VurodoroViri_Druvel");
        }
    }
}

// The polling thread's stop request ends a long reading, in the list or in an element's entries.
TEST(Parser, AStopRequestEndsALongReading)
{
    static int stopChecks = 0;
    const ParseStop stopAtTheSecondCheck = [] { return ++stopChecks > 1; };
    std::string entries = "[";
    std::string elements = "[";
    for (int i = 0; i < 20000; ++i) {
        entries += R"({"id":"1","return":"0"},)";
        elements += "{},";
    }
    for (const std::string& list : {List({Element("T1", entries + "{}]")}), elements + "{}]"}) {
        stopChecks = 0;
        ResultMap results;
        EXPECT_EQ(ParseResultList(list.c_str(), results, stopAtTheSecondCheck),
                  ParseOutcome::Stopped);
        EXPECT_EQ(stopChecks, 2);
    }
}

}  // namespace
}  // namespace vvtest
