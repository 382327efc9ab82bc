// Checks on what people type or put in files, before any of it reaches the gateway.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace facepad::cli {

// Well-formed UTF-8 (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(const std::string& text);
// Any byte below 0x20, or DEL: a line break, a TAB, an escape.
bool HasControlCharacter(const std::string& text);
// A decimal port from 1 to 65535, or nothing.
std::optional<int> ParsePort(const std::string& text);
// A whole decimal int (sign allowed), or nothing.
std::optional<int> ParseInt(const std::string& text);
// The candidate closest to `typed` when it is close enough to be a likely typo.
std::optional<std::string> ClosestMatch(const std::string& typed,
                                        const std::vector<std::string>& candidates);

}  // namespace facepad::cli
