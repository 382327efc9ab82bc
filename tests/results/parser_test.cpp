// Result lists into the result map: merging per terminal, skipped elements, a stop request.
#include "delivery_recorder.h"
#include "result_parser.h"

namespace vvtest {
namespace {

using namespace Osmer_Framework::Face;

const char* const kListUnreadable = "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr";
const char* const kEntriesUnreadable =
    "VurodoroViri_Druvel::JsonDataToMapData jsonDataRet == nullptr";

std::string Repeated(const std::string& text, int times)
{
    std::string repeated;
    for (int i = 0; i < times; ++i) {
        repeated += text;
    }
    return repeated;
}

// A list that is not JSON as a whole is refused and logged, however many good elements come first;
// an unreadable entry list is logged and skipped. Other shapes: the corpus of fuzz_result_list.
TEST(Parser, MergesEachListIntoTheMap)
{
    const ResultMap kept{{"T1", {{"5", "a"}}}};
    const std::string t2 = OneEntryList("T2", "7", "0");
    std::string manyThenBad = "[";
    for (int i = 0; i < 3000; ++i) {
        const std::string list = OneEntryList("T" + std::to_string(i), "7", "0");
        manyThenBad += list.substr(1, list.size() - 2) + ",";
    }
    struct Case {
        std::string list;
        ResultMap after;
        const char* line = nullptr;  // logged at level 4
    };
    const Case cases[] = {
        {OneEntryList("T1", "7", "0"), {{"T1", {{"7", "0"}}}}},  // replaced whole
        {t2, {{"T1", {{"5", "a"}}}, {"T2", {{"7", "0"}}}}},
        {R"([{"SN":"BAD","data":"{not json"},)" + t2.substr(1),
         {{"T1", {{"5", "a"}}}, {"T2", {{"7", "0"}}}},
         kEntriesUnreadable},
        {manyThenBad + "x]", kept, kListUnreadable},
        {"", kept, kListUnreadable},
        // Past json-c's 32 levels, not read deeper: 100,000 of them would overflow the stack.
        {std::string(100000, '['), kept, kListUnreadable},
        {"[" + Repeated("{\"a\":", 100000), kept, kListUnreadable},
        {R"([{"SN":"T3","data":")" + std::string(100000, '[') + "\"}]", kept, kEntriesUnreadable},
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

// The polling thread's stop request ends a long reading, in the list, in an element's entries or
// inside one long string.
TEST(Parser, AStopRequestEndsALongReading)
{
    static int stopChecks = 0;
    const ParseStop stopAtTheSecondCheck = [] { return ++stopChecks > 1; };
    std::string entries = R"([{"SN":"T1","data":"[)";
    std::string elements = "[";
    for (int i = 0; i < 20000; ++i) {
        entries += R"({\"id\":\"1\",\"return\":\"0\"},)";
        elements += "{},";
    }
    const std::string longString = R"([{"SN":"T1","data":")" + std::string(600000, ' ') + "\"}]";
    for (const std::string& list : {entries + R"({}]"}])", elements + "{}]", longString}) {
        stopChecks = 0;
        ResultMap results;
        EXPECT_EQ(ParseResultList(list.c_str(), results, stopAtTheSecondCheck),
                  ParseOutcome::Stopped);
        EXPECT_EQ(stopChecks, 2);
    }
}

}  // namespace
}  // namespace vvtest
