// Turns a result list (one element per terminal, each carrying its entry list as JSON text) into
// the result map: serial number -> command identifier -> result text. Both lists are read an
// element at a time; each element's fields are read with the toolkit's readers.
#include "result_parser.h"

#include "adapter_log.h"
#include "facepad_protocol.h"
#include "json_list_reader.h"
#include "ox_toolkit.h"

namespace Osmer_Framework {
namespace Face {

namespace {

namespace reply = facepad::reply;

enum class Merge { Done, Stopped };

// An element's entry list replaces whole what the map held for its serial number.
Merge MergeElement(json_object* element, ResultMap& results, ParseStop stop)
{
    const char* entryList = json_object_get_field_string(element, reply::kEntries);
    if (*entryList == '\0') {
        return Merge::Done;
    }
    std::map<std::string, std::string> entries;
    const ListReading reading = ReadJsonList(
        entryList, {reply::kCommandId, reply::kReturn},
        [&entries](json_object* entry) {
            entries[json_object_get_field_string(entry, reply::kCommandId)] =
                json_object_get_field_string(entry, reply::kReturn);
            return true;
        },
        stop);
    switch (reading) {
    case ListReading::Stopped:
        return Merge::Stopped;
    case ListReading::NotJson:
        VV_LOG(kLogLevelParse, "VurodoroViri_Druvel::JsonDataToMapData jsonDataRet == nullptr");
        return Merge::Done;
    case ListReading::NotArray:
    case ListReading::Array:
        break;
    }
    results[json_object_get_field_string(element, reply::kSerial)] = std::move(entries);
    return Merge::Done;
}

}  // namespace

ParseOutcome ParseResultList(const char* list, ResultMap& results, ParseStop stop)
{
    bool stopped = false;
    const ListReading reading = ReadJsonList(
        list, {reply::kSerial, reply::kEntries},
        [&](json_object* element) {
            stopped = MergeElement(element, results, stop) == Merge::Stopped;
            return !stopped;
        },
        stop);
    if (stopped || reading == ListReading::Stopped) {
        return ParseOutcome::Stopped;
    }
    if (reading == ListReading::NotJson) {
        VV_LOG(kLogLevelParse, "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr");
        return ParseOutcome::NotJson;
    }
    return ParseOutcome::Parsed;
}

}  // namespace Face
}  // namespace Osmer_Framework
