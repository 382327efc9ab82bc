// The JSON document of a command: a json-c object whose text is json-c's, byte for byte, written
// in one piece. json-c writes a document a few bytes at a time, its integers through snprintf, and
// doubles its buffer as it goes: a third of an AddUser's own work, and an 8 MB buffer for a 5 MB
// photo beside the photo's text and the request body.
#pragma once

#include <json-c/json.h>

namespace Osmer_Framework {
namespace Face {

// An empty json-c object that json_object_to_json_string writes as above, for string and integer
// members. Null when json-c has no memory.
json_object* NewCommandDocument();

// json_object_object_add for a name of the protocol table: a constant text, and one the document
// does not hold yet, so json-c neither copies it nor looks for it first.
void AddMember(json_object* document, const char* name, json_object* value);

}  // namespace Face
}  // namespace Osmer_Framework
