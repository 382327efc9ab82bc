// A long string member of a command's JSON document, written as json-c writes a string but into its
// buffer in one piece. json-c writes a long text a few bytes at a time (between the characters it
// escapes) and doubles its buffer as it goes, so a 5 MB photo left an 8 MB buffer beside the
// photo's text and the request body.
#pragma once

#include <json-c/json.h>

namespace Osmer_Framework {
namespace Face {

// A json-c string holding `text`; a long one serialises through the writer above, byte for byte as
// json-c's own. Null when json-c has no memory.
json_object* NewJsonString(const char* text);

}  // namespace Face
}  // namespace Osmer_Framework
