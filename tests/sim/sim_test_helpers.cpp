#include "sim_test_helpers.h"

#include <gtest/gtest.h>
#include <json-c/json.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "facepad_protocol.h"
#include "reply_list.h"

namespace simtest {

namespace {

std::string Field(json_object* object, const char* key)
{
    json_object* member = nullptr;
    EXPECT_TRUE(json_object_object_get_ex(object, key, &member)) << key;
    EXPECT_TRUE(json_object_is_type(member, json_type_string)) << key << " must be a string";
    return member ? json_object_get_string(member) : "";
}

}  // namespace

std::string CommandBody(const std::string& serial, const std::string& id, const std::string& json)
{
    return "SN=" + serial + "\tid=" + id + "\tdata=" + json;
}

std::string UserJson(const std::string& pin, const std::string& name, int pri, int verify)
{
    return "{\"pin\":\"" + pin + "\",\"name\":\"" + name + "\",\"pri\":" + std::to_string(pri) +
           ",\"passwd\":\"pw\",\"verify\":" + std::to_string(verify) +
           ",\"card\":\"C1\",\"vicecard\":\"C2\"}";
}

std::string PhotoJson(const std::string& pin, int type, const std::string& content,
                      const std::string& url)
{
    return "{\"pin\":\"" + pin + "\",\"type\":" + std::to_string(type) +
           ",\"size\":" + std::to_string(content.size()) + ",\"content\":\"" + content +
           "\",\"url\":\"" + url + "\",\"format\":0}";
}

std::string PinJson(const std::string& pin)
{
    return "{\"pin\":\"" + pin + "\"}";
}

std::string InitBody(const std::string& timeOut)
{
    std::string json = "{";
    for (const char* key : facepad::kInitParamKeys) {
        const std::string value = std::string(key) == "TimeOut" ? timeOut : "";
        json += std::string(json.size() > 1 ? "," : "") + "\"" + key + "\":\"" + value + "\"";
    }
    return "Data=" + json + "}";
}

std::vector<Result> ReadResultReply(const std::string& reply)
{
    std::vector<Result> results;
    // Found as the adapter finds it: one separator character between the key word and the "[".
    const auto found =
        Osmer_Framework::Face::FindReplyList(reply, Osmer_Framework::Face::kResultListKey);
    EXPECT_NE(found.shape, Osmer_Framework::Face::ReplyListShape::None) << reply;
    json_object* list = json_tokener_parse(found.text == nullptr ? "[]" : found.text);
    EXPECT_TRUE(json_object_is_type(list, json_type_array)) << reply;
    for (std::size_t i = 0; list && i < json_object_array_length(list); ++i) {
        json_object* element = json_object_array_get_idx(list, i);
        const std::string serial = Field(element, "SN");
        json_object* entries = json_tokener_parse(Field(element, "data").c_str());
        EXPECT_TRUE(json_object_is_type(entries, json_type_array)) << "data of " << serial;
        for (std::size_t j = 0; entries && j < json_object_array_length(entries); ++j) {
            json_object* entry = json_object_array_get_idx(entries, j);
            results.push_back(Result{serial, Field(entry, "id"), Field(entry, "return")});
        }
        json_object_put(entries);
    }
    json_object_put(list);
    return results;
}

std::vector<Result> DrainResults(facepad::sim::Gateway& gateway)
{
    const auto reply = gateway.Handle(facepad::endpoint::kGetResult, "");
    EXPECT_EQ(reply.status, 200);
    return ReadResultReply(reply.body);
}

Scratch::Scratch(const std::string& name, const std::string* bytes)
    : path(::testing::TempDir() + "facepad_" + std::to_string(::getpid()) + "_" + name)
{
    Remove();
    if (bytes != nullptr) {
        std::ofstream(path, std::ios::binary) << *bytes;
    }
}

void Scratch::Remove() const
{
    for (const char* suffix : {"", "-wal", "-shm", ".lock"}) {
        std::remove((path + suffix).c_str());
    }
    rmdir(path.c_str());
}

std::string Scratch::Contents() const
{
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace simtest
