// A JSON string's text as json-c 0.16 decodes it, without json-c's buffer and object: a reader that
// hands a many-megabyte string over holds it once, not three times.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

// Appends the text of the string whose characters (quotes excluded) run from `first` to `last`,
// escapes already checked, to `text`: json-c's reading, lone and broken surrogates becoming
// U+FFFD as there, "\u0000" a NUL byte.
void AppendJsonStringText(const char* first, const char* last, std::string& text);

}  // namespace Face
}  // namespace Osmer_Framework
