// The fields of a request body as the journal keeps them: every TAB-separated field by its name,
// JSON documents parsed, and long values cut so that a journal of many photo uploads stays small.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace facepad::sim {

// Strings longer than this are cut and marked with their full length.
inline constexpr std::size_t kJournalValueChars = 120;

struct JournalField {
    std::string name;   // the leading letters: "SN", "id", "data", "reset" (which has no "=")
    std::string value;  // the rest; a JSON document re-written with its long strings cut
    bool json = false;  // `value` is JSON text ("data" and "Data" fields that parse as JSON)
};

// Never fails: a body that is not TAB-separated fields gives one field with an empty name.
std::vector<JournalField> ParseJournalFields(std::string_view body);

// `text` itself when short, otherwise its start and "... (N bytes)".
std::string CutForJournal(std::string_view text);

}  // namespace facepad::sim
