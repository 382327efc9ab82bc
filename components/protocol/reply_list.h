// Where the JSON list stands in a gateway reply of the shape KEY, one separator character, list:
// "result=[...]" from "facepad/getresult", "Data=[...]" from "facepad/getterminalstatus". The reply
// is not parsed as a whole, and only the first occurrence of the key word counts.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

struct ReplyListKey {
    const char* word;
    bool mustOpenWithBracket;  // otherwise whatever stands there is handed to the parser
};

// The result poll's key: no "[" after "result" and its separator means no list at all.
extern const ReplyListKey kResultListKey;
// The status query's key: whatever follows "Data" and its separator is parsed.
extern const ReplyListKey kStatusListKey;

enum class ReplyListShape {
    None,     // no key word, or nothing (or no "[" where one is required) after it
    Empty,    // "[]" right there: nothing to report
    Present,  // `text` points at the list
};

struct ReplyList {
    ReplyListShape shape = ReplyListShape::None;
    // Into `reply`, from the list's first character to the reply's end; read as a C string (up to
    // a NUL byte), as the parser reads it. Valid while `reply` is unchanged.
    const char* text = nullptr;
};

ReplyList FindReplyList(const std::string& reply, const ReplyListKey& key);

}  // namespace Face
}  // namespace Osmer_Framework
