// Finding the list in a reply: after the first key word and exactly one character, to the reply's
// end or its first NUL byte.
#include "reply_list.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace Osmer_Framework::Face;

TEST(ReplyList, ListFollowsTheFirstKeyWordAndOneCharacter)
{
    struct Case {
        std::string reply;
        const ReplyListKey& key;
        ReplyListShape shape;
        const char* list;  // the text read as the list, when Present
    };
    const ReplyListShape none = ReplyListShape::None;
    const ReplyListShape empty = ReplyListShape::Empty;
    const ReplyListShape present = ReplyListShape::Present;
    const Case cases[] = {
        {"{\"result=[1]} tail", kResultListKey, present, "[1]} tail"},
        {"result:[{", kResultListKey, present, "[{"},
        {std::string("result [1]\0garbage", 18), kResultListKey, present, "[1]"},
        {"result=[ ]", kResultListKey, present, "[ ]"},
        {"result=[]", kResultListKey, empty, nullptr},
        {"result=[] and more", kResultListKey, empty, nullptr},
        {"", kResultListKey, none, nullptr},
        {"result=", kResultListKey, none, nullptr},
        {"Result=[1]", kResultListKey, none, nullptr},
        {"\"result\":[1]", kResultListKey, none, nullptr},            // two characters
        {"results here; result=[1]", kResultListKey, none, nullptr},  // only the first word
        {"Data=x[1]", kStatusListKey, present, "x[1]"},  // the parser judges what stands there
        {"Data=[] Data=[1]", kStatusListKey, empty, nullptr},
        {"Data=", kStatusListKey, none, nullptr},
        {"data=[1]", kStatusListKey, none, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        const ReplyList list = FindReplyList(c.reply, c.key);
        EXPECT_EQ(list.shape, c.shape);
        if (c.list != nullptr && list.text != nullptr) {
            EXPECT_STREQ(list.text, c.list);
        }
    }
}

}  // namespace
