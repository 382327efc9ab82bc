// Files named on the command line, checked before the first request: a text input people wrote
// (its encoding named when it is not UTF-8), and an output the run will write.
#pragma once

#include <fstream>
#include <string>

namespace facepad::cli {

// Opens `path` for reading past a UTF-8 byte order mark. Returns why it cannot be read as UTF-8
// text ("is a directory", "is UTF-16 ...", the system's reason), or "".
std::string OpenTextInput(const std::string& path, std::ifstream& in);
// Whether `path` can be written (created or appended to) without changing what it holds: the
// reason it cannot ("is a directory", the system's reason), or "".
std::string CheckOutputPath(const std::string& path);

}  // namespace facepad::cli
