#include "journal_fields.h"

#include <cctype>

#include "json_value.h"

namespace facepad::sim {

namespace {

// Cuts every long string inside a parsed document, in place: a photo's content stays out of the
// journal, its pin and type stay in.
void CutLongStrings(json_object* value)
{
    if (json_object_is_type(value, json_type_string)) {
        const std::string text(json_object_get_string(value),
                               static_cast<std::size_t>(json_object_get_string_len(value)));
        if (text.size() > kJournalValueChars) {
            const std::string cut = CutForJournal(text);
            json_object_set_string_len(value, cut.data(), static_cast<int>(cut.size()));
        }
    } else if (json_object_is_type(value, json_type_object)) {
        json_object_object_foreach(value, key, member)
        {
            (void)key;
            CutLongStrings(member);
        }
    } else if (json_object_is_type(value, json_type_array)) {
        for (std::size_t i = 0; i < json_object_array_length(value); ++i) {
            CutLongStrings(json_object_array_get_idx(value, i));
        }
    }
}

JournalField FieldOf(const std::string& text)
{
    std::size_t nameEnd = 0;
    while (nameEnd < text.size() && std::isalpha(static_cast<unsigned char>(text[nameEnd]))) {
        ++nameEnd;
    }
    JournalField field{text.substr(0, nameEnd), std::string(), false};
    const std::size_t valueStart = nameEnd + (nameEnd < text.size() && text[nameEnd] == '=');
    const std::string value = text.substr(valueStart);
    if (field.name == "data" || field.name == "Data") {
        const JsonParse parsed = ParseWholeJson(value);
        if (parsed.error.empty()) {
            CutLongStrings(parsed.value.get());
            field.value = ToJsonText(parsed.value.get());
            field.json = true;
            return field;
        }
    }
    field.value = CutForJournal(value);
    return field;
}

}  // namespace

std::string CutForJournal(const std::string& text)
{
    if (text.size() <= kJournalValueChars) {
        return text;
    }
    return text.substr(0, kJournalValueChars) + "... (" + std::to_string(text.size()) + " bytes)";
}

std::vector<JournalField> ParseJournalFields(const std::string& body)
{
    std::vector<JournalField> fields;
    if (body.empty()) {
        return fields;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = body.find('\t', start);
        fields.push_back(FieldOf(body.substr(start, tab - start)));
        if (tab == std::string::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

}  // namespace facepad::sim
