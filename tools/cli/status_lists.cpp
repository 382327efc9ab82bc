#include "status_lists.h"

#include <json-c/json.h>

#include "facepad_protocol.h"

namespace facepad::cli {

namespace {

TerminalEntry ReadEntry(json_object* element)
{
    TerminalEntry entry;
    json_object* member = nullptr;
    if (json_object_object_get_ex(element, reply::kStatusSerial, &member)) {
        entry.serial = json_object_get_string(member);
    }
    if (json_object_object_get_ex(element, reply::kConnStatus, &member)) {
        entry.connected = json_object_get_int(member) > 0;
    }
    if (json_object_object_get_ex(element, reply::kBound, &member)) {
        entry.bound = json_object_get_boolean(member) != 0;
    }
    if (json_object_object_get_ex(element, reply::kChannel, &member)) {
        entry.channel = json_object_get_int(member);
    }
    return entry;
}

}  // namespace

std::optional<std::vector<TerminalEntry>> ReadTerminalList(const std::string& text)
{
    // Read as the adapter reads it: the list starts one character after the key word.
    const std::size_t word = text.find(reply::kStatusKeyWord);
    const std::size_t start = word == std::string::npos
                                  ? std::string::npos
                                  : word + sizeof reply::kStatusKeyWord;  // includes the separator
    if (start >= text.size()) {
        return std::nullopt;
    }
    json_object* list = json_tokener_parse(text.c_str() + start);
    if (list == nullptr || !json_object_is_type(list, json_type_array)) {
        json_object_put(list);
        return std::nullopt;
    }
    std::vector<TerminalEntry> entries;
    for (std::size_t i = 0; i < json_object_array_length(list); ++i) {
        entries.push_back(ReadEntry(json_object_array_get_idx(list, i)));
    }
    json_object_put(list);
    return entries;
}

}  // namespace facepad::cli
