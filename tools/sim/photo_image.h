// A stored photo as an image the page can show: the base64 content decoded, its type sniffed.
#pragma once

#include <optional>
#include <string>

namespace facepad::sim {

// Standard base64, padded or not; line breaks are skipped, and so is padding after whole groups.
// Nothing for any other character, data after padding, or a length that cannot come out whole.
std::optional<std::string> DecodeBase64(const std::string& text);

// "image/jpeg", "image/png", "image/gif", "image/bmp" or "image/webp" from the leading bytes;
// "application/octet-stream" for anything else.
std::string ImageContentType(const std::string& bytes);

}  // namespace facepad::sim
