#include "json_string.h"

#include <cstring>

namespace Osmer_Framework {
namespace Face {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// json-c's own tests, masks included: a code point decoded from a pair is tested again.
bool IsHighSurrogate(unsigned code)
{
    return (code & 0xFC00) == 0xD800;
}

bool IsLowSurrogate(unsigned code)
{
    return (code & 0xFC00) == 0xDC00;
}

unsigned HexDigits(const char* at)
{
    unsigned code = 0;
    for (int i = 0; i < 4; ++i) {
        const char c = at[i];
        code = code << 4 | static_cast<unsigned>(c <= '9' ? c - '0' : (c & 7) + 9);
    }
    return code;
}

char Unescaped(char kind)
{
    switch (kind) {
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return kind;  // '"', '\\' or '/'
    }
}

void AppendUtf8(unsigned code, std::string& text)
{
    const auto byte = [&text](unsigned value) { text += static_cast<char>(value); };
    if (code < 0x80) {
        byte(code);
    } else if (code < 0x800) {
        byte(0xC0 | code >> 6);
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        byte(0xE0 | code >> 12);
        byte(0x80 | (code >> 6 & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else if (code < 0x110000) {
        byte(0xF0 | (code >> 18 & 0x07));
        byte(0x80 | (code >> 12 & 0x3F));
        byte(0x80 | (code >> 6 & 0x3F));
        byte(0x80 | (code & 0x3F));
    } else {
        text += kReplacement;
    }
}

// One "\uXXXX": a high surrogate waits for the low one that should follow; what cannot be paired
// becomes U+FFFD.
void AppendCodeUnit(unsigned code, unsigned& pendingHigh, std::string& text)
{
    if (pendingHigh != 0) {
        if (IsLowSurrogate(code)) {
            code = ((pendingHigh & 0x3FF) << 10) + (code & 0x3FF) + 0x10000;
        } else {
            text += kReplacement;
        }
        pendingHigh = 0;
    }
    if (code >= 0x800 && IsHighSurrogate(code)) {
        pendingHigh = code;
    } else if (code >= 0x800 && IsLowSurrogate(code)) {
        text += kReplacement;
    } else {
        AppendUtf8(code, text);
    }
}

}  // namespace

void AppendJsonStringText(const char* first, const char* last, std::string& text)
{
    text.reserve(text.size() + static_cast<std::size_t>(last - first));
    unsigned pendingHigh = 0;  // a high surrogate whose low one has not come yet
    while (first < last) {
        const void* backslash = std::memchr(first, '\\', static_cast<std::size_t>(last - first));
        const char* plainEnd = backslash != nullptr ? static_cast<const char*>(backslash) : last;
        if (plainEnd > first && pendingHigh != 0) {
            text += kReplacement;
            pendingHigh = 0;
        }
        text.append(first, plainEnd);
        first = plainEnd;
        if (first == last) {
            break;
        }
        if (first[1] == 'u') {
            AppendCodeUnit(HexDigits(first + 2), pendingHigh, text);
            first += 6;
            continue;
        }
        if (pendingHigh != 0) {
            text += kReplacement;
            pendingHigh = 0;
        }
        text += Unescaped(first[1]);
        first += 2;
    }
    if (pendingHigh != 0) {
        text += kReplacement;
    }
}

}  // namespace Face
}  // namespace Osmer_Framework
