// Ownership of one json-c value, and the one way a command reads a document's text for its request
// body.
#pragma once

#include <json-c/json.h>

#include <cstddef>
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

// The document's text as json_object_to_json_string writes it, valid while the document lives
// unchanged; null when json-c cannot produce it (it ran out of memory). A command copies it
// straight into its request body, so that a photo of several megabytes is copied once.
inline const char* SerialisedText(json_object* document, std::size_t& length)
{
    const char* text =
        json_object_to_json_string_length(document, JSON_C_TO_STRING_SPACED, &length);
    return text;
}

}  // namespace Face
}  // namespace Osmer_Framework
