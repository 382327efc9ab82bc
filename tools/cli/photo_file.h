// Photo files: checked from their size and first bytes before they are read, then sent as base64.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace facepad::cli {

struct PhotoCheck {
    std::string problem;  // empty when the file may be sent
    std::size_t size = 0;
    const char* kind = "";  // "JPEG" or "PNG"
};

// Looks at the file's size (from the file system, before reading) and its signature only.
PhotoCheck CheckPhoto(const std::string& path, std::size_t maxBytes);
// The file's base64 text, read in one pass into a buffer of the known size; nothing when the file
// cannot be read. Peak memory is the file plus its base64 text.
std::optional<std::string> ReadPhotoAsBase64(const std::string& path, std::size_t size);

}  // namespace facepad::cli
