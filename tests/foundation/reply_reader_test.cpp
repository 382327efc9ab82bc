// The client's reader of HTTP answers: every framing it must read, every limit it must keep, and
// the same verdict however the bytes are split across reads.
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
    bool keepAlive;
    bool leftover;  // bytes after the answer
};

Verdict Read(const std::string& bytes, std::size_t step, bool closeAtEnd, ReplyLimits limits)
{
    std::string body;
    ReplyReader reader(limits, body);
    std::size_t offset = 0;
    bool leftover = false;
    while (offset < bytes.size() && !reader.Finished()) {
        const std::size_t size = std::min(step, bytes.size() - offset);
        const std::size_t used = reader.Feed(bytes.data() + offset, size);
        leftover = used < size;
        offset += used;
    }
    if (closeAtEnd && !reader.Finished()) {
        reader.FeedEnd();
    }
    return Verdict{reader.State(), reader.Status(), body, reader.KeepAlive(),
                   leftover || offset < bytes.size()};
}

const std::string k200 = "HTTP/1.1 200 OK\r\n";

// Fed a byte at a time, seven at a time and whole, with the limits of an 80-byte line, a 160-byte
// head and a 200-byte body.
void ExpectVerdict(const std::string& bytes, bool closeAtEnd, ReplyState state, int status,
                   const std::string& body = "", bool keepAlive = false)
{
    for (std::size_t step : {std::size_t{1}, std::size_t{7}, bytes.size() + 1}) {
        const Verdict verdict = Read(bytes, step, closeAtEnd, ReplyLimits{80, 160, 200});
        SCOPED_TRACE(bytes.substr(0, 60) + "... fed " + std::to_string(step) + " at a time");
        EXPECT_EQ(verdict.state, state);
        EXPECT_EQ(verdict.status, status);
        if (state == ReplyState::Complete) {
            EXPECT_EQ(verdict.body, body);
            EXPECT_EQ(verdict.keepAlive, keepAlive);
        }
    }
}

TEST(ReplyReader, ReadsEveryFraming)
{
    struct Case {
        std::string bytes;
        bool closeAtEnd;
        int status;
        std::string body;
        bool keepAlive;
    };
    const std::string chunked = k200 + "Transfer-Encoding: chunked\r\n\r\n";
    const Case cases[] = {
        {k200 + "Content-Length: 2\r\n\r\nok", false, 200, "ok", true},
        {"HTTP/1.1 204\nX: y\n\n", false, 204, "", true},  // no reason, bare LF
        {"HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\na", false, 200, "a", false},
        {"HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n", false, 200, "",
         true},
        {k200 + "Connection: x, close\r\nContent-Length: 0\r\n\r\n", false, 200, "", false},
        {chunked + "3;x=y\r\nabc\r\nA\r\n0123456789\r\n0\r\nT: 1\r\n\r\n", false, 200,
         "abc0123456789", true},
        {k200 + "\r\nall of it", true, 200, "all of it", false},  // until the close
        {"HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 P\r\n\r\n" + k200 +
             "Content-Length: 1\r\n\r\n!",
         false, 200, "!", true},
        {"\r\n" + k200 + "Content-Length: 0\r\n\r\n", false, 200, "", true},
        {k200 + "Content-Length: 000000000000000000002\r\n\r\nok", false, 200, "ok", true},
        {chunked + "2 \t;ext\r\nok\r\n1  \r\n!\r\n0\r\n\r\n", false, 200, "ok!", true},
    };
    for (const Case& c : cases) {
        ExpectVerdict(c.bytes, c.closeAtEnd, ReplyState::Complete, c.status, c.body, c.keepAlive);
    }
}

TEST(ReplyReader, RefusesWhatItCannotRead)
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
        {"FOO 200 OK\r\n\r\n", false, S::Malformed, 0},
        {"HTTP/1.1 20 OK\r\n\r\n", false, S::Malformed, 0},
        {"HTTP/1.1 200OK\r\n\r\n", false, S::Malformed, 0},
        {"HTTP/2 200\r\n\r\n", false, S::Malformed, 0},
        {k200 + "oops\r\n\r\n", false, S::Malformed, 200},        // header without colon
        {k200 + "X: a\r\n b\r\n\r\n", false, S::Malformed, 200},  // folded header
        {k200 + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", false, S::Malformed, 200},
        {k200 + "Content-Length: -1\r\n\r\n", false, S::Malformed, 200},
        {k200 + "Transfer-Encoding: gzip, chunked\r\n\r\n", false, S::Malformed, 200},
        {chunked + "zz\r\n", false, S::Malformed, 200},
        {chunked + "3 x\r\nabc\r\n0\r\n\r\n", false, S::Malformed, 200},  // junk after the size
        {k200 + "Content-Length: 3\r\nTransfer-Encoding: chunked\r\n\r\n3\r\nabc\r\n0\r\n\r\n",
         false, S::Malformed, 200},
        {"HTTP/1.0 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\na\r\n0\r\n\r\n", false,
         S::Malformed, 200},
        {chunked + "1;" + std::string(70, 'e') + "\r\na\r\n1;" + std::string(70, 'e') +
             "\r\nb\r\n1;" + std::string(70, 'e') + "\r\nc\r\n",
         false, S::BodyTooLarge, 200},                         // extensions outgrow what they frame
        {chunked + "1\r\naXY\r\n", false, S::Malformed, 200},  // chunk without its CRLF
        {"HTTP/1.1 101 Switching\r\n\r\n", false, S::Malformed, 101},
        {k200 + "Content-Le", true, S::Truncated, 200},
        {k200 + "Content-Length: 5\r\n\r\nab", true, S::Truncated, 200},
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

TEST(ReplyReader, BytesAfterTheAnswerAreLeftUnread)
{
    const Verdict verdict = Read(k200 + "Content-Length: 2\r\n\r\nokHTTP/1.1 200", 64, false, {});
    EXPECT_EQ(verdict.state, ReplyState::Complete);
    EXPECT_EQ(verdict.body, "ok");
    EXPECT_TRUE(verdict.leftover);
}

}  // namespace
