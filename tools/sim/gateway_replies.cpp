#include "gateway_replies.h"

#include "facepad_protocol.h"
#include "json_value.h"

namespace facepad::sim {

namespace {

std::string KeyedList(const char* keyWord, json_object* list)
{
    return std::string(keyWord) + reply::kKeySeparator + ToJsonText(list);
}

void AddString(json_object* object, const char* key, const std::string& value)
{
    json_object_object_add(object, key, JsonString(value));
}

json_object* EntryListOf(const std::vector<ResultEntry>& entries, const std::string& serial)
{
    json_object* list = json_object_new_array();
    for (const ResultEntry& entry : entries) {
        if (entry.serial != serial) {
            continue;
        }
        json_object* item = json_object_new_object();
        AddString(item, reply::kCommandId, entry.commandId);
        AddString(item, reply::kReturn, entry.code);
        json_object_array_add(list, item);
    }
    return list;
}

// Serials in the order they first appear.
std::vector<std::string> SerialsOf(const std::vector<ResultEntry>& entries)
{
    std::vector<std::string> serials;
    for (const ResultEntry& entry : entries) {
        bool seen = false;
        for (const auto& serial : serials) {
            seen = seen || serial == entry.serial;
        }
        if (!seen) {
            serials.push_back(entry.serial);
        }
    }
    return serials;
}

json_object* StatusElement(const TerminalStatus& status)
{
    json_object* element = json_object_new_object();
    AddString(element, reply::kStatusSerial, status.serial);
    json_object_object_add(element, reply::kConnStatus,
                           json_object_new_int(status.connected ? 1 : 0));
    return element;
}

}  // namespace

std::string FormatResultReply(const std::vector<ResultEntry>& entries)
{
    JsonPtr list(json_object_new_array());
    for (const std::string& serial : SerialsOf(entries)) {
        // One element per terminal: the adapter replaces a terminal's entries with each element
        // that names it, so two elements for one serial would lose the first one's entries.
        JsonPtr entryList(EntryListOf(entries, serial));
        json_object* element = json_object_new_object();
        AddString(element, reply::kSerial, serial);
        AddString(element, reply::kEntries, ToJsonText(entryList.get()));
        json_object_array_add(list.get(), element);
    }
    return KeyedList(reply::kResultKeyWord, list.get());
}

std::string FormatStatusReply(const std::optional<TerminalStatus>& status)
{
    JsonPtr list(json_object_new_array());
    if (status) {
        json_object_array_add(list.get(), StatusElement(*status));
    }
    return KeyedList(reply::kStatusKeyWord, list.get());
}

std::string FormatAvailableReply(const std::vector<TerminalStatus>& terminals)
{
    JsonPtr list(json_object_new_array());
    for (const TerminalStatus& terminal : terminals) {
        json_object* element = StatusElement(terminal);
        json_object_object_add(element, reply::kBound,
                               json_object_new_boolean(terminal.channel ? 1 : 0));
        if (terminal.channel) {
            json_object_object_add(element, reply::kChannel,
                                   json_object_new_int64(*terminal.channel));
        }
        json_object_array_add(list.get(), element);
    }
    return KeyedList(reply::kStatusKeyWord, list.get());
}

}  // namespace facepad::sim
