#include "json_state.h"

#include <fstream>
#include <sstream>

#include "json_value.h"

namespace facepad::sim {

namespace {

constexpr int kFormatVersion = 1;

// --- writing -------------------------------------------------------------------------------

void Put(json_object* object, const char* key, const std::string& value)
{
    json_object_object_add(object, key, JsonString(value));
}

void Put(json_object* object, const char* key, long long value)
{
    json_object_object_add(object, key, json_object_new_int64(value));
}

json_object* UserToJson(const UserRecord& user)
{
    json_object* object = json_object_new_object();
    Put(object, "pin", user.pin);
    Put(object, "name", user.name);
    Put(object, "pri", user.pri);
    Put(object, "passwd", user.passwd);
    Put(object, "verify", user.verify);
    Put(object, "card", user.card);
    Put(object, "vicecard", user.vicecard);
    return object;
}

json_object* PhotoToJson(const PhotoRecord& photo)
{
    json_object* object = json_object_new_object();
    Put(object, "pin", photo.pin);
    Put(object, "type", photo.type);
    Put(object, "size", photo.size);
    Put(object, "content", photo.content);
    Put(object, "url", photo.url);
    Put(object, "format", photo.format);
    return object;
}

json_object* TerminalToJson(const std::string& serial, const TerminalRecord& terminal)
{
    json_object* object = json_object_new_object();
    Put(object, "sn", serial);
    if (terminal.channel) {
        Put(object, "ch", *terminal.channel);
    }
    json_object* users = json_object_new_array();
    for (const auto& entry : terminal.users) {
        json_object_array_add(users, UserToJson(entry.second));
    }
    json_object_object_add(object, "users", users);
    json_object* photos = json_object_new_array();
    for (const auto& perUser : terminal.photos) {
        for (const auto& perType : perUser.second) {
            json_object_array_add(photos, PhotoToJson(perType.second));
        }
    }
    json_object_object_add(object, "photos", photos);
    return object;
}

json_object* StringMapToJson(const std::map<std::string, std::string>& map)
{
    json_object* object = json_object_new_object();
    for (const auto& [key, value] : map) {
        Put(object, key.c_str(), value);
    }
    return object;
}

json_object* UnlocksToJson(const std::vector<UnlockEvent>& unlocks)
{
    json_object* list = json_object_new_array();
    for (const UnlockEvent& unlock : unlocks) {
        json_object* object = json_object_new_object();
        Put(object, "sn", unlock.serial);
        Put(object, "id", unlock.commandId);
        json_object_array_add(list, object);
    }
    return list;
}

// --- reading -------------------------------------------------------------------------------

// Reading stops at the first problem; `error` then names it and later reads do nothing.
struct Reader {
    std::string error;

    json_object* Member(json_object* object, const char* key, json_type type)
    {
        json_object* member = nullptr;
        if (!error.empty()) {
            return nullptr;
        }
        if (!json_object_object_get_ex(object, key, &member) ||
            !json_object_is_type(member, type)) {
            error = std::string("member \"") + key + "\" is missing or of the wrong type";
            return nullptr;
        }
        return member;
    }
    std::string String(json_object* object, const char* key)
    {
        json_object* member = Member(object, key, json_type_string);
        return member ? std::string(json_object_get_string(member),
                                    static_cast<std::size_t>(json_object_get_string_len(member)))
                      : std::string();
    }
    int Int(json_object* object, const char* key)
    {
        json_object* member = Member(object, key, json_type_int);
        return member ? json_object_get_int(member) : 0;
    }
    std::size_t Length(json_object* list) const
    {
        return list ? json_object_array_length(list) : 0;
    }
    json_object* Item(json_object* list, std::size_t i, const char* what)
    {
        json_object* item = json_object_array_get_idx(list, i);
        if (error.empty() && !json_object_is_type(item, json_type_object)) {
            error = std::string("an element of \"") + what + "\" is not an object";
            return nullptr;
        }
        return item;
    }
};

UserRecord UserFromJson(Reader& r, json_object* o)
{
    return UserRecord{r.String(o, "pin"),     r.String(o, "name"), r.Int(o, "pri"),
                      r.String(o, "passwd"),  r.Int(o, "verify"),  r.String(o, "card"),
                      r.String(o, "vicecard")};
}

PhotoRecord PhotoFromJson(Reader& r, json_object* o)
{
    return PhotoRecord{r.String(o, "pin"),     r.Int(o, "type"),   r.Int(o, "size"),
                       r.String(o, "content"), r.String(o, "url"), r.Int(o, "format")};
}

void TerminalFromJson(Reader& r, json_object* o, GatewayData& data)
{
    const std::string serial = r.String(o, "sn");
    TerminalRecord& terminal = data.terminals[serial];
    json_object* channel = nullptr;
    if (json_object_object_get_ex(o, "ch", &channel)) {
        terminal.channel = json_object_get_int64(channel);
    }
    json_object* users = r.Member(o, "users", json_type_array);
    for (std::size_t i = 0; i < r.Length(users) && r.error.empty(); ++i) {
        UserRecord user = UserFromJson(r, r.Item(users, i, "users"));
        terminal.users[user.pin] = user;
    }
    json_object* photos = r.Member(o, "photos", json_type_array);
    for (std::size_t i = 0; i < r.Length(photos) && r.error.empty(); ++i) {
        PhotoRecord photo = PhotoFromJson(r, r.Item(photos, i, "photos"));
        terminal.photos[photo.pin][photo.type] = photo;
    }
}

void SettingsFromJson(Reader& r, json_object* root, GatewayData& data)
{
    data.listenPort = r.String(root, "listenPort");
    data.resetValue = r.String(root, "reset");
    json_object* params = r.Member(root, "initParams", json_type_object);
    if (params == nullptr) {
        return;
    }
    json_object_object_foreach(params, key, value)
    {
        if (!json_object_is_type(value, json_type_string)) {
            r.error = std::string("init setting \"") + key + "\" is not a string";
            return;
        }
        data.initParams[key] = json_object_get_string(value);
    }
}

void UnlocksFromJson(Reader& r, json_object* root, GatewayData& data)
{
    json_object* unlocks = r.Member(root, "unlocks", json_type_array);
    for (std::size_t i = 0; i < r.Length(unlocks) && r.error.empty(); ++i) {
        json_object* item = r.Item(unlocks, i, "unlocks");
        data.unlocks.push_back(UnlockEvent{r.String(item, "sn"), r.String(item, "id")});
    }
}

}  // namespace

std::string StateToJson(const GatewayData& data)
{
    JsonPtr root(json_object_new_object());
    Put(root.get(), "version", kFormatVersion);
    Put(root.get(), "listenPort", data.listenPort);
    Put(root.get(), "reset", data.resetValue);
    json_object_object_add(root.get(), "initParams", StringMapToJson(data.initParams));
    json_object* terminals = json_object_new_array();
    for (const auto& [serial, terminal] : data.terminals) {
        json_object_array_add(terminals, TerminalToJson(serial, terminal));
    }
    json_object_object_add(root.get(), "terminals", terminals);
    json_object_object_add(root.get(), "unlocks", UnlocksToJson(data.unlocks));
    return json_object_to_json_string_ext(root.get(),
                                          JSON_C_TO_STRING_PRETTY | JSON_C_TO_STRING_NOSLASHESCAPE);
}

Decoded<GatewayData> StateFromJson(const std::string& json)
{
    Decoded<GatewayData> decoded;
    const JsonParse parse = ParseWholeJson(json);
    if (!parse.error.empty()) {
        decoded.error = "not JSON: " + parse.error;
        return decoded;
    }
    Reader r;
    json_object* root = parse.value.get();
    if (!json_object_is_type(root, json_type_object) || r.Int(root, "version") != kFormatVersion) {
        decoded.error = "not a version " + std::to_string(kFormatVersion) + " state document";
        return decoded;
    }
    SettingsFromJson(r, root, decoded.value);
    json_object* terminals = r.Member(root, "terminals", json_type_array);
    for (std::size_t i = 0; i < r.Length(terminals) && r.error.empty(); ++i) {
        TerminalFromJson(r, r.Item(terminals, i, "terminals"), decoded.value);
    }
    UnlocksFromJson(r, root, decoded.value);
    decoded.error = r.error;
    return decoded;
}

Decoded<GatewayData> LoadJsonState(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        Decoded<GatewayData> missing;
        missing.error = "cannot read " + path;
        return missing;
    }
    std::ostringstream text;
    text << file.rdbuf();
    auto decoded = StateFromJson(text.str());
    if (!decoded.ok()) {
        decoded.error = path + ": " + decoded.error;
    }
    return decoded;
}

}  // namespace facepad::sim
