// Turns a photo file into the text a photo record carries.
#pragma once

#include <optional>
#include <string>

namespace facepad::cli {

// The whole file, or nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::string& path);
// Standard base64 with padding: photo records carry their content as text.
std::string Base64(const std::string& bytes);

}  // namespace facepad::cli
