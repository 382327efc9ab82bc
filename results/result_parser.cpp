// Turns a result list (one element per terminal, each carrying its entry list as JSON text) into
// the result map: serial number -> command identifier -> result text. Both lists are read an
// element at a time, each element's fields as the texts the toolkit's reader would give.
#include "result_parser.h"

#include "adapter_log.h"
#include "facepad_protocol.h"
#include "json_list_reader.h"

namespace Osmer_Framework {
namespace Face {

namespace {

namespace reply = facepad::reply;

enum class Merge { Done, Stopped };

// An element's entry list replaces whole what the map held for its serial number. Its texts move
// into the map: a many-megabyte result is held once, in the map.
Merge MergeElement(std::string& serial, const std::string& entryList, ResultMap& results,
                   ParseStop stop)
{
    if (entryList.empty()) {
        return Merge::Done;
    }
    std::map<std::string, std::string> entries;
    const ListReading reading = ReadJsonListTexts(
        entryList.c_str(), {reply::kCommandId, reply::kReturn},
        [&entries](std::string* texts) {
            entries[std::move(texts[0])] = std::move(texts[1]);
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
    results[std::move(serial)] = std::move(entries);
    return Merge::Done;
}

}  // namespace

ParseOutcome ParseResultList(const char* list, ResultMap& results, ParseStop stop)
{
    bool stopped = false;
    const ListReading reading = ReadJsonListTexts(
        list, {reply::kSerial, reply::kEntries},
        [&](std::string* texts) {
            stopped = MergeElement(texts[0], texts[1], results, stop) == Merge::Stopped;
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
