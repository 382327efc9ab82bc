#include "json_value.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <limits>
#include <stdexcept>

namespace facepad::sim {

namespace {

struct TokenerRelease {
    void operator()(json_tokener* tokener) const { json_tokener_free(tokener); }
};

bool OnlySpaceFrom(const std::string& text, std::size_t offset)
{
    return std::all_of(text.begin() + static_cast<std::ptrdiff_t>(offset), text.end(),
                       [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; });
}

const char* TypeName(MemberType type)
{
    return type == MemberType::String ? "a string" : "an integer";
}

bool HasType(json_object* value, MemberType type)
{
    return json_object_is_type(value,
                               type == MemberType::String ? json_type_string : json_type_int);
}

bool FitsInt(json_object* value)
{
    const int64_t number = json_object_get_int64(value);
    return number >= std::numeric_limits<int>::min() && number <= std::numeric_limits<int>::max();
}

std::string UnexpectedMember(json_object* object, const std::vector<MemberSpec>& layouts)
{
    json_object_object_foreach(object, key, value)
    {
        (void)value;
        const bool known = std::any_of(layouts.begin(), layouts.end(), [&](const MemberSpec& s) {
            return key == std::string(s.name);
        });
        if (!known) {
            return key;
        }
    }
    return std::string();
}

}  // namespace

JsonParse ParseWholeJson(const std::string& text)
{
    JsonParse parse;
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        parse.error = "JSON text longer than the parser takes";
        return parse;
    }
    std::unique_ptr<json_tokener, TokenerRelease> tokener(json_tokener_new());
    if (!tokener) {
        parse.error = "out of memory";
        return parse;
    }
    parse.value.reset(
        json_tokener_parse_ex(tokener.get(), text.c_str(), static_cast<int>(text.size())));
    const json_tokener_error status = json_tokener_get_error(tokener.get());
    if (status != json_tokener_success || !parse.value) {
        parse.value.reset();
        parse.error = status == json_tokener_continue ? std::string("JSON text ends too early")
                                                      : json_tokener_error_desc(status);
        return parse;
    }
    if (!OnlySpaceFrom(text, json_tokener_get_parse_end(tokener.get()))) {
        parse.value.reset();
        parse.error = "characters after the JSON value";
    }
    return parse;
}

MemberValues ReadMembers(json_object* object, const std::vector<MemberSpec>& layouts,
                         const std::string& documentName)
{
    MemberValues values;
    if (!json_object_is_type(object, json_type_object)) {
        values.error = documentName + " must be a JSON object";
        return values;
    }
    for (const MemberSpec& layout : layouts) {
        json_object* member = nullptr;
        if (!json_object_object_get_ex(object, layout.name, &member)) {
            values.error = documentName + " lacks member \"" + layout.name + "\"";
            return values;
        }
        if (!HasType(member, layout.type)) {
            values.error =
                documentName + " member \"" + layout.name + "\" must be " + TypeName(layout.type);
            return values;
        }
        if (layout.type == MemberType::String) {
            values.strings[layout.name] =
                std::string(json_object_get_string(member),
                            static_cast<std::size_t>(json_object_get_string_len(member)));
        } else if (!FitsInt(member)) {
            values.error = documentName + " member \"" + layout.name + "\" is out of range";
            return values;
        } else {
            values.ints[layout.name] = json_object_get_int(member);
        }
    }
    const std::string unexpected = UnexpectedMember(object, layouts);
    if (!unexpected.empty()) {
        values.error = documentName + " has unexpected member \"" + unexpected + "\"";
    }
    return values;
}

std::string ToJsonText(json_object* object)
{
    return json_object_to_json_string_ext(object,
                                          JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE);
}

json_object* JsonString(const std::string& text)
{
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) {
        throw std::length_error("text too long for a JSON string");
    }
    return json_object_new_string_len(text.data(), static_cast<int>(text.size()));
}

}  // namespace facepad::sim
