#include "text_checks.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>

namespace facepad::cli {

namespace {

// Length of the UTF-8 sequence starting at `lead`, 0 for a byte that cannot start one.
std::size_t SequenceLength(unsigned char lead)
{
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    return 0;
}

// The allowed range of the second byte narrows for E0, ED, F0 and F4 (overlongs, surrogates,
// code points above U+10FFFF).
bool SecondByteFits(unsigned char lead, unsigned char second)
{
    const unsigned char low = lead == 0xE0 ? 0xA0 : lead == 0xF0 ? 0x90 : 0x80;
    const unsigned char high = lead == 0xED ? 0x9F : lead == 0xF4 ? 0x8F : 0xBF;
    return second >= low && second <= high;
}

std::size_t EditDistance(const std::string& a, const std::string& b)
{
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] != b[j - 1])});
            diagonal = above;
        }
    }
    return row[b.size()];
}

}  // namespace

bool IsValidUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = SequenceLength(lead);
        if (length == 0 || i + length > text.size()) {
            return false;
        }
        if (length > 1 && !SecondByteFits(lead, static_cast<unsigned char>(text[i + 1]))) {
            return false;
        }
        for (std::size_t k = 2; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return false;
            }
        }
        i += length;
    }
    return true;
}

bool HasControlCharacter(const std::string& text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

std::optional<int> ParseInt(const std::string& text)
{
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) {
        return std::nullopt;
    }
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || value < INT_MIN || value > INT_MAX) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::optional<int> ParsePort(const std::string& text)
{
    const bool digitsOnly = !text.empty() && std::all_of(text.begin(), text.end(), [](char c) {
        return std::isdigit(static_cast<unsigned char>(c));
    });
    const auto value = digitsOnly ? ParseInt(text) : std::nullopt;
    if (!value || *value < 1 || *value > 65535) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::string> ClosestMatch(const std::string& typed,
                                        const std::vector<std::string>& candidates)
{
    std::optional<std::string> best;
    std::size_t bestDistance = 0;
    for (const std::string& candidate : candidates) {
        std::size_t distance = EditDistance(typed, candidate);
        if (candidate.rfind(typed, 0) == 0 && typed.size() >= 2) {
            distance = 1;  // a prefix ("sync") is as good as one typo
        }
        if (!best || distance < bestDistance) {
            best = candidate;
            bestDistance = distance;
        }
    }
    const std::size_t allowed = std::max<std::size_t>(2, typed.size() / 3);
    if (best && bestDistance <= allowed) {
        return best;
    }
    return std::nullopt;
}

}  // namespace facepad::cli
