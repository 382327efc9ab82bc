// Turns a result list (one element per terminal, each carrying its entry list as JSON text) into
// the result map: serial number -> command identifier -> result text.
#include "CLS_VurodoroViri_Druvel.h"
#include "adapter_log.h"
#include "json_document.h"

namespace Osmer_Framework {
namespace Face {

namespace {

// Anything that is not an array reads as an empty list.
std::size_t ListLength(json_object* list)
{
    return json_object_is_type(list, json_type_array) ? json_object_array_length(list) : 0;
}

std::map<std::string, std::string> EntriesOf(json_object* entryList)
{
    std::map<std::string, std::string> entries;
    const std::size_t count = ListLength(entryList);
    for (std::size_t i = 0; i < count; ++i) {
        json_object* entry = json_object_array_get_idx(entryList, i);
        entries[json_object_get_field_string(entry, "id")] =
            json_object_get_field_string(entry, "return");
    }
    return entries;
}

}  // namespace

bool VurodoroViri_Druvel::JsonDataToMapData(
    const std::string& _strJson,
    std::map<std::string, std::map<std::string, std::string>>& _mapResult)
{
    const JsonDocument outer(json_tokener_parse(_strJson.c_str()));
    if (!outer) {
        VV_LOG(kLogLevelParse, "VurodoroViri_Druvel::JsonDataToMapData jsonDataSn == nullptr");
        return false;
    }
    const std::size_t count = ListLength(outer.get());
    for (std::size_t i = 0; i < count; ++i) {
        json_object* element = json_object_array_get_idx(outer.get(), i);
        const char* data = json_object_get_field_string(element, "data");
        if (*data == '\0') {
            continue;
        }
        const JsonDocument entryList(json_tokener_parse(data));
        if (!entryList) {
            VV_LOG(kLogLevelParse, "VurodoroViri_Druvel::JsonDataToMapData jsonDataRet == nullptr");
            continue;
        }
        _mapResult[json_object_get_field_string(element, "SN")] = EntriesOf(entryList.get());
    }
    return true;
}

}  // namespace Face
}  // namespace Osmer_Framework
