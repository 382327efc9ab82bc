#include "sample_records.h"

#include <json-c/json.h>

#include <cstdio>
#include <cstdlib>
#include <random>

namespace vvbench {

namespace {

struct Member {
    const char* name;
    bool integer;
};

constexpr Member kUserMembers[] = {{"pin", false},     {"name", false},  {"pri", true},
                                   {"passwd", false},  {"verify", true}, {"card", false},
                                   {"vicecard", false}};
constexpr Member kPhotoMembers[] = {{"pin", false},     {"type", true}, {"size", true},
                                    {"content", false}, {"url", false}, {"format", true}};

template <std::size_t N>
std::string BodyWithJsonC(const Member (&members)[N], const ParamMap& record)
{
    json_object* document = json_object_new_object();
    for (const Member& member : members) {
        const std::string& text = record.at(member.name);
        json_object_object_add(document, member.name,
                               member.integer ? json_object_new_int(std::atoi(text.c_str()))
                                              : json_object_new_string(text.c_str()));
    }
    std::size_t length = 0;
    const char* json =
        json_object_to_json_string_length(document, JSON_C_TO_STRING_SPACED, &length);
    std::string body;
    body.reserve(64 + length);
    body.append("SN=").append(kSerial).append("\tid=").append(kCommandId).append("\tdata=");
    body.append(json, length);
    json_object_put(document);
    return body;
}

std::string Base64Text(std::size_t bytes)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(20240517);
    std::string text(bytes, '=');
    for (std::size_t i = 0; i + 2 < bytes; ++i) {  // the last two stay "=" padding
        text[i] = alphabet[random() % 64];
    }
    return text;
}

}  // namespace

ParamMap RealisticUser()
{
    return ParamMap{{"pin", "100234"},
                    {"name",
                     "Mar\xc3\xad"
                     "a-Jos\xc3\xa9 Fern\xc3\xa1ndez"},
                    {"pri", "0"},
                    {"passwd", "8631"},
                    {"verify", "1"},
                    {"card", "0012345678"},
                    {"vicecard", "0087654321"}};
}

ParamMap PhotoRecord(std::size_t contentBytes)
{
    std::string content = Base64Text(contentBytes);
    return ParamMap{{"pin", "100234"},
                    {"type", "9"},
                    {"size", std::to_string(content.size())},
                    {"content", std::move(content)},
                    {"url", ""},
                    {"format", "0"}};
}

std::string UserBodyWithJsonC(const ParamMap& user)
{
    return BodyWithJsonC(kUserMembers, user);
}

std::string PhotoBodyWithJsonC(const ParamMap& photo)
{
    return BodyWithJsonC(kPhotoMembers, photo);
}

std::string ResultList(std::size_t elements, std::size_t entries)
{
    std::string list = "[";
    char text[64];
    for (std::size_t e = 0; e < elements; ++e) {
        std::snprintf(text, sizeof text, "%s{\"SN\":\"VVT-%09zu\",\"data\":\"[", e ? "," : "", e);
        list += text;
        for (std::size_t i = 0; i < entries; ++i) {
            std::snprintf(text, sizeof text, "%s{\\\"id\\\":\\\"%zu\\\",\\\"return\\\":\\\"0\\\"}",
                          i ? "," : "", 1000 + i);
            list += text;
        }
        list += "]\"}";
    }
    list += "]";
    return list;
}

}  // namespace vvbench
