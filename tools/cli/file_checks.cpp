#include "file_checks.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace facepad::cli {

namespace {

bool IsDirectory(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool Exists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0;
}

// Spreadsheet programs save "Unicode text" as UTF-16, which reads as bytes with NULs between.
std::string EncodingProblem(const std::string& head)
{
    if (head.rfind("\xFF\xFE", 0) == 0 || head.rfind("\xFE\xFF", 0) == 0) {
        return "is UTF-16 text (it starts with a UTF-16 byte order mark); save it as UTF-8";
    }
    if (head.find('\0') != std::string::npos) {
        return "holds NUL bytes (UTF-16 text without a byte order mark?); save it as UTF-8";
    }
    return std::string();
}

}  // namespace

std::string OpenTextInput(const std::string& path, std::ifstream& in)
{
    if (IsDirectory(path)) {
        return "is a directory";
    }
    in.open(path, std::ios::binary);
    if (!in) {
        return std::strerror(errno);
    }
    char head[64] = {};
    in.read(head, sizeof head);
    const std::string start(head, static_cast<std::size_t>(in.gcount()));
    const std::string problem = EncodingProblem(start);
    if (!problem.empty()) {
        return problem;
    }
    in.clear();
    in.seekg(start.rfind("\xEF\xBB\xBF", 0) == 0 ? 3 : 0);
    return std::string();
}

std::string CheckOutputPath(const std::string& path)
{
    if (IsDirectory(path)) {
        return "is a directory";
    }
    const bool existed = Exists(path);
    std::FILE* file = std::fopen(path.c_str(), "a");
    if (file == nullptr) {
        return std::strerror(errno);
    }
    std::fclose(file);
    if (!existed) {
        std::remove(path.c_str());  // the run writes it later; a check leaves nothing behind
    }
    return std::string();
}

}  // namespace facepad::cli
