#include "result_reply.h"

#include <cstring>

namespace Osmer_Framework {
namespace Face {

namespace {
constexpr const char* kKeyWord = "result";
constexpr std::size_t kListOffset = 7;  // "result", one separator character, then "["
}  // namespace

ResultListShape CutResultList(std::string& reply)
{
    const auto word = reply.find(kKeyWord);
    if (word == std::string::npos) {
        return ResultListShape::None;
    }
    const auto open = word + kListOffset;
    if (open >= reply.size() || reply[open] != '[') {
        return ResultListShape::None;
    }
    if (open + 1 < reply.size() && reply[open + 1] == ']') {
        return ResultListShape::Empty;
    }
    reply.erase(0, open);
    reply.resize(std::strlen(reply.c_str()));
    return ResultListShape::Present;
}

}  // namespace Face
}  // namespace Osmer_Framework
