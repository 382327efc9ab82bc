#include "reply_list.h"

#include <cstring>

#include "facepad_protocol.h"

namespace Osmer_Framework {
namespace Face {

const ReplyListKey kResultListKey{facepad::reply::kResultKeyWord, true};
const ReplyListKey kStatusListKey{facepad::reply::kStatusKeyWord, false};

ReplyList FindReplyList(const std::string& reply, const ReplyListKey& key)
{
    const std::size_t word = reply.find(key.word);
    if (word == std::string::npos) {
        return {};
    }
    const std::size_t open = word + std::strlen(key.word) + 1;  // one separator character
    if (open >= reply.size() || (key.mustOpenWithBracket && reply[open] != '[')) {
        return {};
    }
    if (reply.compare(open, 2, "[]") == 0) {
        return {ReplyListShape::Empty, nullptr};
    }
    return {ReplyListShape::Present, reply.c_str() + open};
}

}  // namespace Face
}  // namespace Osmer_Framework
