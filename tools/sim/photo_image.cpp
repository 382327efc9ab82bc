#include "photo_image.h"

#include <cstdint>

namespace facepad::sim {

namespace {

int SextetOf(char c)
{
    if (c >= 'A' && c <= 'Z') {
        return c - 'A';
    }
    if (c >= 'a' && c <= 'z') {
        return c - 'a' + 26;
    }
    if (c >= '0' && c <= '9') {
        return c - '0' + 52;
    }
    return c == '+' ? 62 : c == '/' ? 63 : -1;
}

bool StartsWith(const std::string& bytes, const std::string& prefix, std::size_t at = 0)
{
    return bytes.size() >= at + prefix.size() && bytes.compare(at, prefix.size(), prefix) == 0;
}

}  // namespace

std::optional<std::string> DecodeBase64(const std::string& text)
{
    std::string decoded;
    std::uint32_t bits = 0;
    int pending = 0;  // sextets in `bits`
    std::size_t padding = 0;
    for (const char c : text) {
        if (c == '\r' || c == '\n') {
            continue;
        }
        if (c == '=') {
            ++padding;
            continue;
        }
        const int sextet = SextetOf(c);
        if (sextet < 0 || padding > 0) {
            return std::nullopt;  // a foreign character, or data after the padding
        }
        bits = (bits << 6) | static_cast<std::uint32_t>(sextet);
        if (++pending == 4) {
            decoded.push_back(static_cast<char>((bits >> 16) & 0xFF));
            decoded.push_back(static_cast<char>((bits >> 8) & 0xFF));
            decoded.push_back(static_cast<char>(bits & 0xFF));
            bits = 0;
            pending = 0;
        }
    }
    // Padding after whole groups is ignored, as most decoders do; hosts do send it.
    if (pending == 1 || (pending > 1 && padding > 0 && pending + static_cast<int>(padding) != 4)) {
        return std::nullopt;
    }
    if (pending >= 2) {
        bits <<= 6 * (4 - pending);
        decoded.push_back(static_cast<char>((bits >> 16) & 0xFF));
        if (pending == 3) {
            decoded.push_back(static_cast<char>((bits >> 8) & 0xFF));
        }
    }
    return decoded;
}

std::string ImageContentType(const std::string& bytes)
{
    if (StartsWith(bytes, "\xFF\xD8\xFF")) {
        return "image/jpeg";
    }
    if (StartsWith(bytes, "\x89PNG\r\n\x1A\n")) {
        return "image/png";
    }
    if (StartsWith(bytes, "GIF87a") || StartsWith(bytes, "GIF89a")) {
        return "image/gif";
    }
    if (StartsWith(bytes, "BM")) {
        return "image/bmp";
    }
    if (StartsWith(bytes, "RIFF") && StartsWith(bytes, "WEBP", 8)) {
        return "image/webp";
    }
    return "application/octet-stream";
}

}  // namespace facepad::sim
