#include "journal_fields.h"

#include <algorithm>
#include <cctype>

#include "facepad_protocol.h"
#include "json_value.h"

namespace facepad::sim {

namespace {

// Just past the escape sequence that starts at text[at]: two bytes, or six for "\uXXXX".
std::size_t EscapeEnd(std::string_view text, std::size_t at)
{
    return at + (at + 1 < text.size() && text[at + 1] == 'u' ? 6 : 2);
}

bool ContinuesUtf8(char c)
{
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// Cuts every long string literal of a JSON text before it is parsed: a photo's content stays out
// of the journal (and out of the parser, which would otherwise build a multi-megabyte string while
// the host waits for its answer), its pin and type stay in. A cut splits no escape and no UTF-8
// character.
std::string CutLongStringLiterals(std::string_view text)
{
    std::string kept;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i++];
        kept.push_back(c);
        if (c != '"') {
            continue;
        }
        const std::size_t start = i;
        std::size_t end = start;
        while (end < text.size() && text[end] != '"') {
            end = text[end] == '\\' ? EscapeEnd(text, end) : end + 1;
        }
        end = std::min(end, text.size());
        std::size_t cut = start;
        while (cut < end && (cut - start < kJournalValueChars || ContinuesUtf8(text[cut]))) {
            cut = text[cut] == '\\' ? EscapeEnd(text, cut) : cut + 1;
        }
        cut = std::min(cut, end);
        kept.append(text, start, cut - start);
        if (cut < end) {
            kept += "... (" + std::to_string(end - start) + " bytes)";
        }
        i = end;
        if (i < text.size()) {
            kept.push_back(text[i++]);  // the closing quote
        }
    }
    return kept;
}

JournalField FieldOf(std::string_view text)
{
    std::size_t nameEnd = 0;
    while (nameEnd < text.size() && std::isalpha(static_cast<unsigned char>(text[nameEnd]))) {
        ++nameEnd;
    }
    JournalField field{std::string(text.substr(0, nameEnd)), std::string(), false};
    const std::size_t valueStart = nameEnd + (nameEnd < text.size() && text[nameEnd] == '=');
    const std::string_view value = text.substr(valueStart);
    if (field.name == facepad::field::kData || field.name == facepad::field::kInitData) {
        const JsonParse parsed = ParseWholeJson(CutLongStringLiterals(value));
        if (parsed.error.empty()) {
            field.value = ToJsonText(parsed.value.get());
            field.json = true;
            return field;
        }
    }
    field.value = CutForJournal(value);
    return field;
}

}  // namespace

std::string CutForJournal(std::string_view text)
{
    if (text.size() <= kJournalValueChars) {
        return std::string(text);
    }
    return std::string(text.substr(0, kJournalValueChars)) + "... (" + std::to_string(text.size()) +
           " bytes)";
}

std::vector<JournalField> ParseJournalFields(std::string_view body)
{
    std::vector<JournalField> fields;
    if (body.empty()) {
        return fields;
    }
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = body.find('\t', start);
        fields.push_back(FieldOf(body.substr(start, tab == body.npos ? body.npos : tab - start)));
        if (tab == body.npos) {
            return fields;
        }
        start = tab + 1;
    }
}

}  // namespace facepad::sim
