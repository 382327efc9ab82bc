#include "long_json_string.h"

#include <array>
#include <climits>
#include <cstring>

namespace Osmer_Framework {
namespace Face {

namespace {

// Shorter strings cost json-c little to write its own way.
constexpr std::size_t kLongString = 64 * 1024;
// Room left after the string for the rest of the document (member names, short values), so that
// what follows does not double the buffer once more.
constexpr int kRoomAfter = 4096;

const char* EscapeOf(unsigned char c)
{
    switch (c) {
    case '\b':
        return "\\b";
    case '\n':
        return "\\n";
    case '\r':
        return "\\r";
    case '\t':
        return "\\t";
    case '\f':
        return "\\f";
    case '"':
        return "\\\"";
    case '\\':
        return "\\\\";
    case '/':
        return "\\/";
    default:
        return nullptr;
    }
}

char* WriteEscaped(unsigned char c, char* out)
{
    static const char kHex[] = "0123456789abcdef";
    if (const char* escape = EscapeOf(c)) {
        out[0] = escape[0];
        out[1] = escape[1];
        return out + 2;
    }
    if (c < ' ') {
        std::memcpy(out, "\\u00", 4);
        out[4] = kHex[c >> 4];
        out[5] = kHex[c & 0xF];
        return out + 6;
    }
    *out = static_cast<char>(c);
    return out + 1;
}

// How many bytes WriteEscaped writes for each byte, taken from it so that the two never disagree.
std::size_t EscapedLength(unsigned char c)
{
    static const std::array<unsigned char, 256> kLengths = [] {
        std::array<unsigned char, 256> lengths{};
        char scratch[8];
        for (unsigned byte = 0; byte < lengths.size(); ++byte) {
            lengths[byte] = static_cast<unsigned char>(
                WriteEscaped(static_cast<unsigned char>(byte), scratch) - scratch);
        }
        return lengths;
    }();
    return kLengths[c];
}

// json-c's string writer (quotes, then its escapes, with "/" escaped as its default flags do),
// the buffer grown once to what the string takes and a little more.
int WriteInOnePiece(json_object* string, printbuf* buffer, int /*level*/, int flags)
{
    const auto* text = reinterpret_cast<const unsigned char*>(json_object_get_string(string));
    const std::size_t length = static_cast<std::size_t>(json_object_get_string_len(string));
    if ((flags & JSON_C_TO_STRING_NOSLASHESCAPE) != 0) {
        return -1;  // never asked for by the adapter
    }
    std::size_t escaped = 2;
    for (std::size_t i = 0; i < length; ++i) {
        escaped += EscapedLength(text[i]);
    }
    const int start = buffer->bpos;
    if (escaped > static_cast<std::size_t>(INT_MAX - start - kRoomAfter) ||
        printbuf_memset(buffer, start, 0, static_cast<int>(escaped) + kRoomAfter) != 0) {
        return -1;
    }
    char* out = buffer->buf + start;
    *out++ = '"';
    for (std::size_t i = 0; i < length; ++i) {
        out = WriteEscaped(text[i], out);
    }
    *out++ = '"';
    buffer->bpos = static_cast<int>(out - buffer->buf);
    buffer->buf[buffer->bpos] = '\0';
    return 0;
}

}  // namespace

json_object* NewJsonString(const char* text)
{
    json_object* string = json_object_new_string(text);
    if (string != nullptr && json_object_get_string_len(string) >= static_cast<int>(kLongString)) {
        json_object_set_serializer(string, &WriteInOnePiece, nullptr, nullptr);
    }
    return string;
}

}  // namespace Face
}  // namespace Osmer_Framework
