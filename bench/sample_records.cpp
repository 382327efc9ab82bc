// What the figures send and parse, and the adapter pointed at the gateway.
#include <json-c/json.h>

#include <cstdlib>
#include <random>

#include "bench.h"

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

// The direct way: one json-c document, serialised after the "SN=\tid=\tdata=" fields.
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
    std::string body = std::string("SN=") + kSerial + "\tid=" + kCommandId + "\tdata=";
    body.append(json, length);
    json_object_put(document);
    return body;
}

const char* MemberText(json_object* object, const char* name)
{
    json_object* member = nullptr;
    json_object_object_get_ex(object, name, &member);
    const char* text = json_object_get_string(member);
    return text != nullptr ? text : "";
}

}  // namespace

ParamMap RealisticUser()
{
    return ParamMap{{"pin", "100234"},
                    {"name", u8"Mar\u00eda-Jos\u00e9 Fern\u00e1ndez"},
                    {"pri", "0"},
                    {"passwd", "8631"},
                    {"verify", "1"},
                    {"card", "0012345678"},
                    {"vicecard", "0087654321"}};
}

ParamMap PhotoRecord(std::size_t contentBytes)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::mt19937 random(20240517);
    std::string content(contentBytes, '=');
    for (std::size_t i = 0; i + 2 < contentBytes; ++i) {  // the last two stay "=" padding
        content[i] = alphabet[random() % 64];
    }
    return ParamMap{{"pin", "100234"},    {"type", "9"}, {"size", std::to_string(contentBytes)},
                    {"content", content}, {"url", ""},   {"format", "0"}};
}

void BuildAndReleaseDocument(const ParamMap& user)
{
    json_object* document = json_object_new_object();
    for (const Member& member : kUserMembers) {
        const std::string& text = user.at(member.name);
        // As the adapter adds them: constant names, each new to the document.
        json_object_object_add_ex(document, member.name,
                                  member.integer ? json_object_new_int(std::atoi(text.c_str()))
                                                 : json_object_new_string(text.c_str()),
                                  JSON_C_OBJECT_ADD_KEY_IS_NEW | JSON_C_OBJECT_KEY_IS_CONSTANT);
    }
    json_object_put(document);
}

std::string BodyWithJsonC(const ParamMap& record)
{
    return record.count("content") != 0 ? BodyWithJsonC(kPhotoMembers, record)
                                        : BodyWithJsonC(kUserMembers, record);
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
    return list + "]";
}

bool WalkResultListWithJsonC(const std::string& list, ResultMap& results)
{
    json_object* outer = json_tokener_parse(list.c_str());
    if (outer == nullptr) {
        return false;
    }
    for (std::size_t i = 0; i < json_object_array_length(outer); ++i) {
        json_object* element = json_object_array_get_idx(outer, i);
        json_object* entries = json_tokener_parse(MemberText(element, "data"));
        if (entries == nullptr) {
            continue;
        }
        auto& inner = results[MemberText(element, "SN")];
        inner.clear();
        for (std::size_t j = 0; j < json_object_array_length(entries); ++j) {
            json_object* entry = json_object_array_get_idx(entries, j);
            inner[MemberText(entry, "id")] = MemberText(entry, "return");
        }
        json_object_put(entries);
    }
    json_object_put(outer);
    return true;
}

std::string FilledList(const std::string& open, const std::string& item,
                       const std::string& separator, const std::string& close, std::size_t bytes)
{
    std::string list = open + item;
    list.reserve(bytes);
    while (list.size() + separator.size() + item.size() + close.size() <= bytes) {
        list += separator + item;
    }
    return list + close;
}

std::unique_ptr<VurodoroViri_Druvel> AdapterAt(int port)
{
    auto adapter = std::make_unique<VurodoroViri_Druvel>();
    adapter->SetUrl(TestGateway::BaseUrl());
    adapter->SetRequestPort(port);
    return adapter;
}

}  // namespace vvbench
