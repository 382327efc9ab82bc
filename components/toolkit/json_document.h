// Ownership of one json-c value, and the one way a command puts a document's text into its request
// body.
#pragma once

#include <json-c/json.h>

#include <cstring>
#include <memory>
#include <string>

namespace Osmer_Framework {
namespace Face {

struct JsonRelease {
    void operator()(json_object* document) const { json_object_put(document); }
};

// Released exactly once: where the command resets it, or else when it goes out of scope (early
// return, exception).
using JsonDocument = std::unique_ptr<json_object, JsonRelease>;

// Appends the document's serialised text to `body`. The text is copied straight out of json-c's own
// buffer, so a photo of several megabytes is copied once. False when json-c cannot produce the
// text (it ran out of memory).
inline bool AppendSerialised(json_object* document, std::string& body)
{
    const char* text = json_object_to_json_string(document);
    if (text == nullptr) {
        return false;
    }
    const std::size_t length = std::strlen(text);
    body.reserve(body.size() + length);
    body.append(text, length);
    return true;
}

}  // namespace Face
}  // namespace Osmer_Framework
