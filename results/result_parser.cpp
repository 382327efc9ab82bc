// Turns a result list (one element per terminal, each carrying its entry list as JSON text) into
// the result map: serial number -> command identifier -> result text.
#include "result_parser.h"

#include <algorithm>
#include <cstring>

#include "adapter_log.h"
#include "json_document.h"

namespace Osmer_Framework {
namespace Face {

namespace {

// About 5 ms of parsing each: how long a stop request may wait.
constexpr std::size_t kParseSliceBytes = 256 * 1024;
constexpr std::size_t kEntriesPerStopCheck = 4096;

bool StopRequested(ParseStop stop)
{
    return stop != nullptr && stop();
}

// json_tokener_parse, fed a slice at a time (the terminating NUL included, as it reads it).
JsonDocument ParseJson(const char* text, ParseStop stop, bool& stopped)
{
    json_tokener* tokener = json_tokener_new();
    if (tokener == nullptr) {
        return nullptr;
    }
    const std::size_t length = std::strlen(text) + 1;
    std::size_t offset = 0;
    json_object* value = nullptr;
    do {
        if (StopRequested(stop)) {
            stopped = true;
            break;
        }
        const std::size_t slice = std::min(kParseSliceBytes, length - offset);
        value = json_tokener_parse_ex(tokener, text + offset, static_cast<int>(slice));
        offset += slice;
    } while (value == nullptr && json_tokener_get_error(tokener) == json_tokener_continue &&
             offset < length);
    json_tokener_free(tokener);
    return JsonDocument(value);
}

// Anything that is not an array reads as an empty list.
std::size_t ListLength(json_object* list)
{
    return json_object_is_type(list, json_type_array) ? json_object_array_length(list) : 0;
}

bool ReadEntries(json_object* entryList, std::map<std::string, std::string>& entries,
                 ParseStop stop)
{
    const std::size_t count = ListLength(entryList);
    for (std::size_t i = 0; i < count; ++i) {
        if (i % kEntriesPerStopCheck == 0 && StopRequested(stop)) {
            return false;
        }
        json_object* entry = json_object_array_get_idx(entryList, i);
        entries[json_object_get_field_string(entry, "id")] =
            json_object_get_field_string(entry, "return");
    }
    return true;
}

}  // namespace

ParseOutcome ParseResultList(const std::string& list, ResultMap& results, ParseStop stop)
{
    bool stopped = false;
    const JsonDocument outer = ParseJson(list.c_str(), stop, stopped);
    if (stopped) {
        return ParseOutcome::Stopped;
    }
    if (!outer) {
        VV_LOG(kLogLevelParse, "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr");
        return ParseOutcome::NotJson;
    }
    const std::size_t count = ListLength(outer.get());
    for (std::size_t i = 0; i < count; ++i) {
        json_object* element = json_object_array_get_idx(outer.get(), i);
        const char* data = json_object_get_field_string(element, "data");
        if (*data == '\0') {
            continue;
        }
        const JsonDocument entryList = ParseJson(data, stop, stopped);
        if (stopped) {
            return ParseOutcome::Stopped;
        }
        if (!entryList) {
            VV_LOG(kLogLevelParse, "VurodoroViri_Druvel::JsonDataToMapData jsonDataRet == nullptr");
            continue;
        }
        std::map<std::string, std::string> entries;
        if (!ReadEntries(entryList.get(), entries, stop)) {
            return ParseOutcome::Stopped;
        }
        results[json_object_get_field_string(element, "SN")] = std::move(entries);
    }
    return ParseOutcome::Parsed;
}

}  // namespace Face
}  // namespace Osmer_Framework
