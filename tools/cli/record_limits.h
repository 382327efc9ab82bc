// What a terminal can hold of each member of a user record, checked before anything is sent: a
// value a terminal cannot keep would be cut or read as another one there (a 40-byte name cut
// inside a letter, pri -1 kept as 255, pins 1 and 01 kept as one user), so it is refused with the
// limit named instead. The limits and their reasons are in docs/cli.md.
#pragma once

#include <cstddef>
#include <string>

namespace facepad::cli {

// Terminals key users by a number, unless the operator says they keep pins as text (--text-pins).
enum class PinKind { Number, Text };

// Why `value` cannot be member `member` (an index into member::kUser), or "". An empty value
// passes except for the pin: the record's other members may be left out.
std::string MemberProblem(std::size_t member, const std::string& value, PinKind pins);
// What two pins are the same user by: the number without its leading zeros, or the text.
std::string PinKey(const std::string& pin, PinKind pins);

}  // namespace facepad::cli
