#include "json_c_walk.h"

#include <json-c/json.h>

namespace vvbench {

namespace {

const char* MemberText(json_object* object, const char* name)
{
    json_object* member = nullptr;
    json_object_object_get_ex(object, name, &member);
    const char* text = json_object_get_string(member);
    return text != nullptr ? text : "";
}

}  // namespace

bool WalkResultListWithJsonC(const std::string& list, ResultMap& results)
{
    json_object* outer = json_tokener_parse(list.c_str());
    if (outer == nullptr) {
        return false;
    }
    const std::size_t count = json_object_array_length(outer);
    for (std::size_t i = 0; i < count; ++i) {
        json_object* element = json_object_array_get_idx(outer, i);
        json_object* entries = json_tokener_parse(MemberText(element, "data"));
        if (entries == nullptr) {
            continue;
        }
        auto& inner = results[MemberText(element, "SN")];
        inner.clear();
        const std::size_t entryCount = json_object_array_length(entries);
        for (std::size_t j = 0; j < entryCount; ++j) {
            json_object* entry = json_object_array_get_idx(entries, j);
            inner[MemberText(entry, "id")] = MemberText(entry, "return");
        }
        json_object_put(entries);
    }
    json_object_put(outer);
    return true;
}

}  // namespace vvbench
