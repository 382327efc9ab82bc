// Small json-c helpers: an owning pointer, a strict whole-text parse and typed member reading.
#pragma once

#include <json-c/json.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace facepad::sim {

struct JsonRelease {
    void operator()(json_object* object) const { json_object_put(object); }
};
using JsonPtr = std::unique_ptr<json_object, JsonRelease>;

struct JsonParse {
    JsonPtr value;
    std::string error;  // empty on success
};

// The whole text must be one JSON value (white space around it is allowed): a body with trailing
// characters is a malformed body, although the adapter's own reader would tolerate it.
JsonParse ParseWholeJson(const std::string& text);

enum class MemberType { String, Int };

struct MemberSpec {
    const char* name;
    MemberType type;
};

struct MemberValues {
    std::map<std::string, std::string> strings;
    std::map<std::string, int> ints;
    std::string error;  // names the first missing, mistyped or unexpected member
};

// `object` must be a JSON object holding exactly the members of `layouts`, each of its type.
MemberValues ReadMembers(json_object* object, const std::vector<MemberSpec>& layouts,
                         const std::string& documentName);

// A JSON string holding a copy of `text`. json-c counts in int; a longer text (none can come
// through ParseWholeJson) throws std::length_error instead of being cut.
json_object* JsonString(const std::string& text);

// Serialises without extra white space; the text is a copy.
std::string ToJsonText(json_object* object);

}  // namespace facepad::sim
