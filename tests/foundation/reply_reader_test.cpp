// The client's reader of HTTP answers: every limit it must keep, however the bytes are split. How
// it reads framings is in the corpus of fuzz/fuzz_http_reply.cpp.
#include "reply_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Osmer_Framework::http::ReplyLimits;
using Osmer_Framework::http::ReplyReader;
using Osmer_Framework::http::ReplyState;

struct Verdict {
    ReplyState state;
    int status;
    std::string body;
};

Verdict Read(const std::string& bytes, std::size_t step, bool closeAtEnd, ReplyLimits limits)
{
    std::string body;
    ReplyReader reader(limits, body);
    for (std::size_t offset = 0; offset < bytes.size() && !reader.Finished();) {
        offset += reader.Feed(bytes.data() + offset, std::min(step, bytes.size() - offset));
    }
    if (closeAtEnd && !reader.Finished()) {
        reader.FeedEnd();
    }
    return Verdict{reader.State(), reader.Status(), body};
}

const std::string k200 = "HTTP/1.1 200 OK\r\n";

// Fed a byte, seven bytes and all at a time; limits: 80-byte line, 160-byte head, 200-byte body.
void ExpectVerdict(const std::string& bytes, bool closeAtEnd, ReplyState state, int status)
{
    for (std::size_t step : {std::size_t{1}, std::size_t{7}, bytes.size() + 1}) {
        const Verdict verdict = Read(bytes, step, closeAtEnd, ReplyLimits{80, 160, 200});
        SCOPED_TRACE(bytes.substr(0, 60) + "... fed " + std::to_string(step) + " at a time");
        EXPECT_EQ(verdict.state, state);
        EXPECT_EQ(verdict.status, status);
    }
}

TEST(ReplyReader, RefusesWhatOutgrowsItsLimits)
{
    using S = ReplyState;
    struct Case {
        std::string bytes;
        bool closeAtEnd;
        ReplyState state;
        int status;
    };
    const std::string longLine = "HTTP/1.1 200 " + std::string(100, 'x');
    const std::string chunked = k200 + "Transfer-Encoding: chunked\r\n\r\n";
    std::string interims;
    for (int i = 0; i < 20; ++i) {
        interims += "HTTP/1.1 100 Continue\r\n\r\n";
    }
    const Case cases[] = {
        {chunked + "1;" + std::string(70, 'e') + "\r\na\r\n1;" + std::string(70, 'e') +
             "\r\nb\r\n1;" + std::string(70, 'e') + "\r\nc\r\n",
         false, S::BodyTooLarge, 200},  // extensions outgrow what they frame
        {"", true, S::Truncated, 0},
        {longLine + "\r\n\r\n", false, S::HeadTooLarge, 0},
        {longLine, false, S::HeadTooLarge, 0},
        {k200 + "A: " + std::string(70, 'a') + "\r\nB: " + std::string(70, 'b') + "\r\n\r\n", false,
         S::HeadTooLarge, 200},
        {interims, false, S::HeadTooLarge, 100},
        {k200 + "Content-Length: 201\r\n\r\n", false, S::BodyTooLarge, 200},
        {chunked + "C8\r\n" + std::string(200, 'c') + "\r\n1\r\n", false, S::BodyTooLarge, 200},
        {k200 + "\r\n" + std::string(201, 'u'), true, S::BodyTooLarge, 200},
    };
    for (const Case& c : cases) {
        ExpectVerdict(c.bytes, c.closeAtEnd, c.state, c.status);
    }
}

// A body nobody reads is dropped but for its first bytes; the dropped ones still count to the cap.
TEST(ReplyReader, KeepsOnlyTheBytesItIsAskedToKeep)
{
    const std::string chunked = k200 + "Transfer-Encoding: chunked\r\n\r\n";
    const std::pair<std::string, ReplyState> cases[] = {
        {k200 + "Content-Length: 6\r\n\r\nabcdef", ReplyState::Complete},
        {chunked + "2\r\nab\r\n4\r\ncdef\r\n0\r\n\r\n", ReplyState::Complete},
        {k200 + "\r\nabcdef", ReplyState::Complete},
        {k200 + "\r\n" + std::string(201, 'a'), ReplyState::BodyTooLarge},
    };
    for (const auto& c : cases) {
        const Verdict verdict = Read(c.first, 7, true, ReplyLimits{80, 160, 200, 3});
        EXPECT_EQ(verdict.state, c.second) << c.first;
        EXPECT_EQ(verdict.body, c.second == ReplyState::Complete ? "abc" : verdict.body);
    }
}

}  // namespace
