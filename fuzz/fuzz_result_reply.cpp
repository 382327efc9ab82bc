// Any "facepad/getresult" or status reply: the list is found where the first key word and one
// separator character put it, as the whole-reply search found it, and the poll's list then merges
// into an accumulating map. Read as a proxy's error page, its title is one short line.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "front_end_answer.h"
#include "reply_list.h"
#include "result_parser.h"

namespace {

using namespace Osmer_Framework::Face;

// The reference: where the list starts (npos for none), with "[]" told apart as Empty.
ReplyListShape SearchedShape(const std::string& reply, const ReplyListKey& key, std::size_t& open)
{
    const std::size_t word = reply.find(key.word);
    open = word == std::string::npos ? word : word + std::strlen(key.word) + 1;
    if (open >= reply.size() || (key.mustOpenWithBracket && reply[open] != '[')) {
        return ReplyListShape::None;
    }
    return reply.substr(open, 2) == "[]" ? ReplyListShape::Empty : ReplyListShape::Present;
}

void Check(const std::string& reply, const ReplyListKey& key)
{
    std::size_t open = 0;
    const ReplyListShape shape = SearchedShape(reply, key, open);
    const ReplyList list = FindReplyList(reply, key);
    if (list.shape != shape ||
        (shape == ReplyListShape::Present && list.text != reply.c_str() + open)) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static ResultMap results;
    const std::string reply(reinterpret_cast<const char*>(data), size);
    Check(reply, kResultListKey);
    Check(reply, kStatusListKey);
    const std::string title = PageTitle(reply);
    if (title.size() > 80 || title.find_first_of("\r\n\t") != std::string::npos ||
        (!title.empty() && (title.front() == ' ' || title.back() == ' '))) {
        std::abort();
    }
    const ReplyList list = FindReplyList(reply, kResultListKey);
    if (list.shape == ReplyListShape::Present) {
        ParseResultList(list.text, results, nullptr);
        if (results.size() > 10000) {
            results.clear();
        }
    }
    return 0;
}
