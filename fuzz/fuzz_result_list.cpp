// Differential: any text read as a result list (JsonDataToMapData's parser) and as a status list
// must give what the whole-document json-c reading gives: the same map, return value and log
// lines, and the same status answer. The whole-document reading is kept here as the reference.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "ox_toolkit.h"
#include "result_parser.h"
#include "status_reply.h"

namespace {

using namespace Osmer_Framework::Face;
using LogLines = std::vector<std::pair<int, std::string>>;

LogLines g_lines;

void Capture(int level, const char*, int, const char* message)
{
    g_lines.emplace_back(level, message);
}

std::size_t ListLength(json_object* list)
{
    return json_object_is_type(list, json_type_array) ? json_object_array_length(list) : 0;
}

bool WholeDocumentParse(const std::string& text, ResultMap& results)
{
    json_object* outer = json_tokener_parse(text.c_str());
    if (outer == nullptr) {
        Capture(4, "", 0, "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr");
        return false;
    }
    for (std::size_t i = 0; i < ListLength(outer); ++i) {
        json_object* element = json_object_array_get_idx(outer, i);
        const char* data = json_object_get_field_string(element, "data");
        json_object* inner = *data != '\0' ? json_tokener_parse(data) : nullptr;
        if (*data != '\0' && inner == nullptr) {
            Capture(4, "", 0, "VurodoroViri_Druvel::JsonDataToMapData jsonDataRet == nullptr");
        }
        if (inner == nullptr) {
            continue;
        }
        std::map<std::string, std::string> entries;
        for (std::size_t j = 0; j < ListLength(inner); ++j) {
            json_object* entry = json_object_array_get_idx(inner, j);
            entries[json_object_get_field_string(entry, "id")] =
                json_object_get_field_string(entry, "return");
        }
        results[json_object_get_field_string(element, "SN")] = std::move(entries);
        json_object_put(inner);
    }
    json_object_put(outer);
    return true;
}

// The status list as GetTerminalStatusFace read it from the text after "Data=".
StatusReading WholeDocumentStatus(const std::string& text)
{
    if (text.compare(0, 2, "[]") == 0) {
        return StatusReading::BareEmptyList;
    }
    json_object* list = text.empty() ? nullptr : json_tokener_parse(text.c_str());
    StatusReading reading = json_object_is_type(list, json_type_array) ? StatusReading::NotConnected
                                                                       : StatusReading::NoList;
    for (std::size_t i = 0; i < ListLength(list); ++i) {
        if (json_object_get_field_int(json_object_array_get_idx(list, i), "connstatus", -1) > 0) {
            reading = StatusReading::Connected;
            break;
        }
    }
    json_object_put(list);
    return reading;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    ox_libos_log_debug_ex = &Capture;
    const ResultMap before{{"KEEP", {{"1", "x"}}}, {"T1", {{"5", "a"}}}};
    ResultMap expected = before;
    g_lines.clear();
    const bool expectedParsed = WholeDocumentParse(text, expected);
    const LogLines expectedLines = g_lines;
    ResultMap results = before;
    g_lines.clear();
    const ParseOutcome outcome = ParseResultList(text.c_str(), results, nullptr);
    if ((outcome == ParseOutcome::Parsed) != expectedParsed || outcome == ParseOutcome::Stopped ||
        results != expected || g_lines != expectedLines) {
        std::abort();
    }
    if (ReadStatusReply("Data=" + text) != WholeDocumentStatus(text)) {
        std::abort();
    }
    ox_libos_log_debug_ex = nullptr;
    return 0;
}
