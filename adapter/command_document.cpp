#include "command_document.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <memory>
#include <string_view>

namespace Osmer_Framework {
namespace Face {

namespace {

// json-c's escapes in a string: its named ones, "\/" as its default flags write it, \u00XX (lower
// case) for the other control bytes; every other byte as it is. Returns the end of what it wrote.
constexpr char* WriteEscaped(unsigned char c, char* out)
{
    const char named = c == '\b'                           ? 'b'
                       : c == '\n'                         ? 'n'
                       : c == '\r'                         ? 'r'
                       : c == '\t'                         ? 't'
                       : c == '\f'                         ? 'f'
                       : c == '"' || c == '\\' || c == '/' ? static_cast<char>(c)
                                                           : '\0';
    if (named != '\0') {
        out[0] = '\\';
        out[1] = named;
        return out + 2;
    }
    if (c < ' ') {
        constexpr char kHex[] = "0123456789abcdef";
        const char escape[] = {'\\', 'u', '0', '0', kHex[c >> 4], kHex[c & 0xF]};
        for (const char e : escape) {
            *out++ = e;
        }
        return out;
    }
    *out = static_cast<char>(c);
    return out + 1;
}

// Documents whose text may be longer than this are measured before they are written; a shorter
// one gets room for its longest possible text.
constexpr std::size_t kMeasuredFrom = 64 * 1024;
// Documents whose text is at most this long (the user documents) are written on the stack.
constexpr std::size_t kWrittenOnStack = 4096;

// What WriteEscaped writes for each byte, taken from it so that the two never disagree.
constexpr std::array<unsigned char, 256> EscapedLengths()
{
    std::array<unsigned char, 256> lengths{};
    for (unsigned byte = 0; byte < lengths.size(); ++byte) {
        char scratch[8] = {};
        lengths[byte] = static_cast<unsigned char>(
            WriteEscaped(static_cast<unsigned char>(byte), scratch) - scratch);
    }
    return lengths;
}
constexpr std::array<unsigned char, 256> kEscapedLength = EscapedLengths();

std::size_t EscapedSize(std::string_view text)
{
    std::size_t size = 0;
    for (const char c : text) {
        size += kEscapedLength[static_cast<unsigned char>(c)];
    }
    return size;
}

// True when one of the eight bytes of `word` is below ' ' or is '"', '\\' or '/'. A byte of 0x80 or
// more (UTF-8) never counts: each test keeps only bytes whose own top bit is clear.
bool AnyToEscape(std::uint64_t word)
{
    constexpr std::uint64_t kOnes = 0x0101010101010101u;
    constexpr std::uint64_t kTops = 0x8080808080808080u;
    const auto zeroIn = [](std::uint64_t v) { return (v - kOnes) & ~v & kTops; };
    const std::uint64_t control = (word - kOnes * ' ') & ~word & kTops;
    return (control | zeroIn(word ^ (kOnes * '"')) | zeroIn(word ^ (kOnes * '\\')) |
            zeroIn(word ^ (kOnes * '/'))) != 0;
}

// One byte: the table first, as nearly every byte stands for itself.
char* WriteByte(unsigned char c, char* out)
{
    if (kEscapedLength[c] == 1) {
        *out = static_cast<char>(c);
        return out + 1;
    }
    return WriteEscaped(c, out);
}

// Eight bytes at a time while none needs an escape; the others one by one.
char* WriteEscaped(std::string_view text, char* out)
{
    const char* in = text.data();
    const char* const end = in + text.size();
    while (end - in >= 8) {
        std::uint64_t word = 0;
        std::memcpy(&word, in, sizeof word);
        if (AnyToEscape(word)) {
            for (const char* const stop = in + 8; in < stop; ++in) {
                out = WriteByte(static_cast<unsigned char>(*in), out);
            }
            continue;
        }
        std::memcpy(out, &word, sizeof word);
        in += 8;
        out += 8;
    }
    for (; in < end; ++in) {
        out = WriteByte(static_cast<unsigned char>(*in), out);
    }
    return out;
}

char* Write(std::string_view text, char* out)
{
    return std::copy(text.begin(), text.end(), out);
}

// One member as json-c writes it: its name quoted and escaped, then its value, a quoted and
// escaped string or an integer's digits or "null".
struct Member {
    // Left unset until Read: sixteen of them are made per document.
    std::string_view name;
    std::string_view value;
    bool quoted;
    char digits[24];

    // False for a kind of value no command document holds.
    bool Read(const char* key, json_object* json)
    {
        name = key;
        quoted = false;
        const json_type type = json != nullptr ? json_object_get_type(json) : json_type_null;
        if (type == json_type_string) {
            value = std::string_view(json_object_get_string(json),
                                     static_cast<std::size_t>(json_object_get_string_len(json)));
            quoted = true;
        } else if (type == json_type_int) {
            const auto end =
                std::to_chars(digits, digits + sizeof digits, json_object_get_int64(json));
            value = std::string_view(digits, static_cast<std::size_t>(end.ptr - digits));
        } else if (type == json_type_null) {
            value = "null";
        } else {
            return false;
        }
        return true;
    }
    std::size_t Size() const
    {
        return 2 + EscapedSize(name) + 2 + (quoted ? 2 + EscapedSize(value) : value.size());
    }
    // What it takes at most, every byte escaped to six: known without reading the texts.
    std::size_t MostSize() const
    {
        return 2 + 6 * name.size() + 2 + (quoted ? 2 + 6 * value.size() : value.size());
    }
    char* WriteTo(char* out) const
    {
        *out++ = '"';
        out = WriteEscaped(name, out);
        out = Write("\": ", out);
        if (!quoted) {
            return Write(value, out);
        }
        *out++ = '"';
        out = WriteEscaped(value, out);
        *out++ = '"';
        return out;
    }
};

// json_object_to_json_string's form: "{", then per member (after a "," from the second on) a
// blank and the member, then " }". Returns the end of the text.
char* WriteMembers(const Member* members, std::size_t count, char* out)
{
    *out++ = '{';
    for (std::size_t i = 0; i < count; ++i) {
        out = Write(i == 0 ? " " : ", ", out);
        out = members[i].WriteTo(out);
    }
    return Write(" }", out);
}

// The document's serializer: its members read once, then its text written in one piece.
int WriteInOnePiece(json_object* document, printbuf* buffer, int /*level*/, int flags)
{
    if (flags != JSON_C_TO_STRING_SPACED) {
        return -1;  // no form the commands use
    }
    // On the stack for the commands' documents (fourteen members at most), never moved: a
    // member's digits stay where they are.
    const auto count = static_cast<std::size_t>(json_object_object_length(document));
    Member onStack[16];
    std::unique_ptr<Member[]> onHeap(count > std::size(onStack) ? new Member[count] : nullptr);
    Member* const members = onHeap ? onHeap.get() : onStack;
    std::size_t size = 3;  // "{" and " }", then a separator and the member, two at most
    std::size_t read = 0;
    for (const lh_entry* entry = lh_table_head(json_object_get_object(document));
         entry != nullptr && read < count; entry = lh_entry_next(entry), ++read) {
        if (!members[read].Read(static_cast<const char*>(lh_entry_k(entry)),
                                static_cast<json_object*>(lh_entry_v(entry)))) {
            return -1;
        }
        size += 2 + members[read].MostSize();
    }
    // A large document is measured byte for byte, so that its buffer is no larger than its text.
    if (size > kMeasuredFrom) {
        size = 2 + 2 * read;  // "{", " }", " " before the first member, ", " after
        for (std::size_t i = 0; i < read; ++i) {
            size += members[i].Size();
        }
    }
    if (size <= kWrittenOnStack) {
        // Handed to json-c in one copy: its buffer grows to the text, not to the longest text the
        // document could have had, and stays small enough for malloc's quick path.
        char text[kWrittenOnStack];
        const char* const end = WriteMembers(members, read, text);
        return printbuf_memappend(buffer, text, static_cast<int>(end - text)) < 0 ? -1 : 0;
    }
    const int start = buffer->bpos;
    // One byte more: the text is handed out as a C string. (A larger buffer than the text is
    // left zeroed past it.)
    if (size >= static_cast<std::size_t>(INT_MAX - start) ||
        printbuf_memset(buffer, start, 0, static_cast<int>(size) + 1) != 0) {
        return -1;
    }
    char* const end = WriteMembers(members, read, buffer->buf + start);
    buffer->bpos = static_cast<int>(end - buffer->buf);
    *end = '\0';
    return 0;
}

}  // namespace

json_object* NewCommandDocument()
{
    json_object* document = json_object_new_object();
    if (document != nullptr) {
        json_object_set_serializer(document, &WriteInOnePiece, nullptr, nullptr);
    }
    return document;
}

void AddMember(json_object* document, const char* name, json_object* value)
{
    json_object_object_add_ex(document, name, value,
                              JSON_C_OBJECT_ADD_KEY_IS_NEW | JSON_C_OBJECT_KEY_IS_CONSTANT);
}

}  // namespace Face
}  // namespace Osmer_Framework
