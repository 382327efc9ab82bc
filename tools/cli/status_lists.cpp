#include "status_lists.h"

#include <json-c/json.h>

#include "facepad_protocol.h"
#include "json_list_reader.h"
#include "reply_list.h"

namespace facepad::cli {

namespace {

using Osmer_Framework::Face::ListReading;

// `element` holds only the wanted members (nested values as null), or is null when it has none.
TerminalEntry ReadEntry(json_object* element)
{
    TerminalEntry entry;
    json_object* member = nullptr;
    if (json_object_object_get_ex(element, reply::kStatusSerial, &member) && member != nullptr) {
        entry.serial = json_object_get_string(member);  // a null or nested value has no text
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

// Found where the adapter finds it, and read element by element: a list of any length costs the
// entries, not a whole document besides them.
std::optional<std::vector<TerminalEntry>> ReadTerminalList(const std::string& text)
{
    using namespace Osmer_Framework::Face;
    const ReplyList list = FindReplyList(text, kStatusListKey);
    std::vector<TerminalEntry> entries;
    if (list.shape == ReplyListShape::Empty) {
        return entries;
    }
    if (list.shape == ReplyListShape::None) {
        return std::nullopt;
    }
    const ListReading reading = ReadJsonList(
        list.text, {reply::kStatusSerial, reply::kConnStatus, reply::kBound, reply::kChannel},
        [&entries](json_object* element) {
            entries.push_back(ReadEntry(element));
            return true;
        });
    if (reading != ListReading::Array) {
        return std::nullopt;
    }
    return entries;
}

}  // namespace facepad::cli
