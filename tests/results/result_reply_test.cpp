// Finding the list in a "facepad/getresult" reply.
#include "result_reply.h"

#include <gtest/gtest.h>

namespace {

using Osmer_Framework::Face::CutResultList;
using Osmer_Framework::Face::ResultListShape;

ResultListShape Cut(std::string reply, std::string* list = nullptr)
{
    const ResultListShape shape = CutResultList(reply);
    if (list != nullptr) {
        *list = reply;
    }
    return shape;
}

TEST(ResultReply, ListAfterTheWordAndOneCharacterIsCutOutWithWhatFollows)
{
    std::string list;
    EXPECT_EQ(Cut("{\"result=[1]} tail", &list), ResultListShape::Present);
    EXPECT_EQ(list, "[1]} tail");
    EXPECT_EQ(Cut("result:[{", &list), ResultListShape::Present);
    EXPECT_EQ(list, "[{");
    EXPECT_EQ(Cut(std::string("result [1]\0garbage", 18), &list), ResultListShape::Present);
    EXPECT_EQ(list, "[1]");
}

TEST(ResultReply, EmptyListIsToldApart)
{
    EXPECT_EQ(Cut("result=[]"), ResultListShape::Empty);
    EXPECT_EQ(Cut("result=[] and more"), ResultListShape::Empty);
    EXPECT_EQ(Cut("result=[ ]"), ResultListShape::Present);
}

TEST(ResultReply, OnlyTheFirstWordCounts)
{
    EXPECT_EQ(Cut(""), ResultListShape::None);
    EXPECT_EQ(Cut("resul"), ResultListShape::None);
    EXPECT_EQ(Cut("result"), ResultListShape::None);
    EXPECT_EQ(Cut("result="), ResultListShape::None);
    EXPECT_EQ(Cut("Result=[1]"), ResultListShape::None);
    EXPECT_EQ(Cut("\"result\":[1]"), ResultListShape::None);
    EXPECT_EQ(Cut("results here; result=[1]"), ResultListShape::None);
}

}  // namespace
