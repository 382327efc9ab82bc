#include "sim_api_documents.h"

#include <cstdio>
#include <ctime>

#include "facepad_protocol.h"
#include "json_value.h"

namespace facepad::sim {

namespace {

void Put(json_object* object, const char* key, json_object* value)
{
    json_object_object_add(object, key, value);
}

// Query strings hold serials and pins as the host chose them; only unreserved bytes pass as they
// are.
std::string UrlEncoded(const std::string& text)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                           (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.' || c == '~';
        if (plain) {
            encoded.push_back(byte);
        } else {
            encoded += {'%', kHex[c >> 4], kHex[c & 0xF]};
        }
    }
    return encoded;
}

json_object* PhotoObject(const PhotoSummary& photo)
{
    json_object* object = json_object_new_object();
    Put(object, member::kType, json_object_new_int(photo.type));
    Put(object, member::kSize, json_object_new_int(photo.size));
    Put(object, member::kFormat, json_object_new_int(photo.format));
    Put(object, member::kUrl, JsonString(photo.url));
    Put(object, "image", photo.hasContent ? JsonString(PhotoImageUrl(photo)) : nullptr);
    return object;
}

json_object* Count(std::size_t count)
{
    return json_object_new_int64(static_cast<std::int64_t>(count));
}

json_object* UserObject(const ListedUser& listed)
{
    const UserRecord& user = listed.user;
    json_object* object = json_object_new_object();
    Put(object, "terminal", JsonString(listed.serial));
    Put(object, member::kPin, JsonString(user.pin));
    Put(object, member::kName, JsonString(user.name));
    Put(object, member::kPri, json_object_new_int(user.pri));
    Put(object, member::kPasswd, JsonString(user.passwd));
    Put(object, member::kVerify, json_object_new_int(user.verify));
    Put(object, member::kCard, JsonString(user.card));
    Put(object, member::kViceCard, JsonString(user.vicecard));
    json_object* photos = json_object_new_array();
    for (const PhotoSummary& photo : listed.photos) {
        json_object_array_add(photos, PhotoObject(photo));
    }
    Put(object, "photos", photos);
    return object;
}

// The page of users with what it was asked for, so that the page can say "101-200 of 5,000"; when
// a pin was asked for, the offset is that of the page holding it.
json_object* UsersObject(const StateOverview& state, const UserFilter& filter)
{
    json_object* object = json_object_new_object();
    Put(object, "terminal", filter.terminal.empty() ? nullptr : JsonString(filter.terminal));
    Put(object, "search", JsonString(filter.search));
    Put(object, "offset", Count(state.pageOffset));
    Put(object, "limit", Count(filter.limit));
    Put(object, "pin", filter.pin.empty() ? nullptr : JsonString(filter.pin));
    Put(object, "pinFound", filter.pin.empty() ? nullptr : json_object_new_boolean(state.pinFound));
    Put(object, "total", Count(state.matchingUsers));
    json_object* items = json_object_new_array();
    for (const ListedUser& user : state.users) {
        json_object_array_add(items, UserObject(user));
    }
    Put(object, "items", items);
    return object;
}

json_object* TerminalObject(const TerminalOverview& terminal)
{
    json_object* object = json_object_new_object();
    Put(object, "serial", JsonString(terminal.serial));
    Put(object, "connected", json_object_new_boolean(terminal.connected));
    Put(object, "bound", json_object_new_boolean(terminal.channel.has_value()));
    Put(object, "channel", terminal.channel ? json_object_new_int64(*terminal.channel) : nullptr);
    Put(object, "nextResult", terminal.forcedResult ? JsonString(*terminal.forcedResult) : nullptr);
    Put(object, "users", Count(terminal.users));
    Put(object, "photos", Count(terminal.photos));
    Put(object, "doorsOpened", Count(terminal.doorsOpened));
    return object;
}

json_object* SummaryObject(const StateOverview& state)
{
    std::size_t connected = 0;
    std::size_t bound = 0;
    for (const TerminalOverview& terminal : state.terminals) {
        connected += terminal.connected ? 1u : 0u;
        bound += terminal.channel ? 1u : 0u;
    }
    json_object* object = json_object_new_object();
    Put(object, "terminals", Count(state.terminals.size()));
    Put(object, "connected", Count(connected));
    Put(object, "bound", Count(bound));
    Put(object, "users", Count(state.userCount));
    Put(object, "photos", Count(state.photoCount));
    Put(object, "unlocks", Count(state.unlockCount));
    Put(object, "pendingResults", Count(state.pendingCount));
    return object;
}

json_object* ResultObject(const ResultEntry& entry)
{
    json_object* object = json_object_new_object();
    Put(object, "terminal", JsonString(entry.serial));
    Put(object, "id", JsonString(entry.commandId));
    Put(object, "return", JsonString(entry.code));
    Put(object, "meaning", JsonString(DescribeResultCode(entry.code)));
    return object;
}

json_object* SettingsObject(const StateOverview& state)
{
    json_object* object = json_object_new_object();
    Put(object, "listenPort", JsonString(state.listenPort));
    Put(object, "reset", JsonString(state.resetValue));
    json_object* params = json_object_new_object();
    for (const auto& [name, value] : state.initParams) {
        Put(params, name.c_str(), JsonString(value));
    }
    Put(object, "initParams", params);
    return object;
}

std::string IsoTime(std::int64_t unixMillis)
{
    const std::time_t seconds = static_cast<std::time_t>(unixMillis / 1000);
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &seconds);
#else
    gmtime_r(&seconds, &utc);
#endif
    char text[96];  // room for any int the compiler imagines in each field
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(unixMillis % 1000));
    return text;
}

json_object* FieldsObject(const std::vector<JournalField>& fields)
{
    json_object* object = json_object_new_object();
    for (const JournalField& field : fields) {
        JsonParse parsed;
        if (field.json) {
            parsed = ParseWholeJson(field.value);
        }
        Put(object, field.name.c_str(),
            parsed.value ? parsed.value.release() : JsonString(field.value));
    }
    return object;
}

json_object* EntryObject(const JournalEntry& entry)
{
    json_object* object = json_object_new_object();
    Put(object, "seq", json_object_new_int64(static_cast<std::int64_t>(entry.seq)));
    Put(object, "time", JsonString(IsoTime(entry.unixMillis)));
    Put(object, "method", JsonString(entry.method));
    Put(object, "path", JsonString(entry.path));
    Put(object, "terminal", entry.terminal.empty() ? nullptr : JsonString(entry.terminal));
    Put(object, "fields", FieldsObject(entry.fields));
    Put(object, "status", json_object_new_int(entry.status));
    Put(object, "answer", JsonString(entry.answer));
    Put(object, "fault", entry.fault.empty() ? nullptr : JsonString(entry.fault));
    return object;
}

std::string Serialise(json_object* document)
{
    JsonPtr owner(document);
    return json_object_to_json_string_ext(document,
                                          JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE);
}

}  // namespace

std::string PhotoImageUrl(const PhotoSummary& photo)
{
    return "/_sim/photo?terminal=" + UrlEncoded(photo.serial) + "&pin=" + UrlEncoded(photo.pin) +
           "&type=" + std::to_string(photo.type);
}

std::string StateDocument(const StateOverview& state, const UserFilter& filter,
                          std::uint64_t version)
{
    json_object* document = json_object_new_object();
    Put(document, "version", json_object_new_int64(static_cast<std::int64_t>(version)));
    Put(document, "summary", SummaryObject(state));
    json_object* terminals = json_object_new_array();
    for (const TerminalOverview& terminal : state.terminals) {
        json_object_array_add(terminals, TerminalObject(terminal));
    }
    Put(document, "terminals", terminals);
    Put(document, "users", UsersObject(state, filter));
    Put(document, "settings", SettingsObject(state));
    json_object* unlocks = json_object_new_array();
    for (const UnlockEvent& unlock : state.unlocks) {
        json_object* object = json_object_new_object();
        Put(object, "terminal", JsonString(unlock.serial));
        Put(object, "id", JsonString(unlock.commandId));
        json_object_array_add(unlocks, object);
    }
    Put(document, "unlocks", unlocks);
    json_object* pending = json_object_new_array();
    for (const ResultEntry& entry : state.pendingResults) {
        json_object_array_add(pending, ResultObject(entry));
    }
    Put(document, "pendingResults", pending);
    return Serialise(document);
}

std::string JournalDocument(const JournalPage& page, std::size_t capacity, std::uint64_t version)
{
    json_object* document = json_object_new_object();
    Put(document, "version", json_object_new_int64(static_cast<std::int64_t>(version)));
    Put(document, "last", json_object_new_int64(static_cast<std::int64_t>(page.last)));
    Put(document, "dropped", json_object_new_int64(static_cast<std::int64_t>(page.dropped)));
    Put(document, "capacity", json_object_new_int64(static_cast<std::int64_t>(capacity)));
    json_object* entries = json_object_new_array();
    for (const JournalEntry& entry : page.entries) {
        json_object_array_add(entries, EntryObject(entry));
    }
    Put(document, "entries", entries);
    return Serialise(document);
}

}  // namespace facepad::sim
