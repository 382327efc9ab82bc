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

struct ReplyCase {
    const char* name;
    std::string bytes;
    bool closeAtEnd;
    ReplyState state;
    int status;
    std::string body;
    bool keepAlive;
};

const std::string k200 = "HTTP/1.1 200 OK\r\n";

TEST(ReplyReader, ReadsEveryFramingAndRefusesWhatItCannotRead)
{
    const std::string longLine(100, 'x');
    const std::vector<ReplyCase> cases = {
        {"length", k200 + "Content-Length: 2\r\n\r\nok", false, ReplyState::Complete, 200, "ok",
         true},
        {"no reason, bare LF", "HTTP/1.1 204\nX: y\n\n", false, ReplyState::Complete, 204, "",
         true},
        {"HTTP/1.0 closes", "HTTP/1.0 200 OK\r\nContent-Length: 1\r\n\r\na", false,
         ReplyState::Complete, 200, "a", false},
        {"HTTP/1.0 keep-alive",
         "HTTP/1.0 200 OK\r\nConnection: Keep-Alive\r\nContent-Length: 0\r\n\r\n", false,
         ReplyState::Complete, 200, "", true},
        {"connection close", k200 + "Connection: x, close\r\nContent-Length: 0\r\n\r\n", false,
         ReplyState::Complete, 200, "", false},
        {"chunked with extension and trailer",
         k200 + "Transfer-Encoding: chunked\r\n\r\n3;x=y\r\nabc\r\nA\r\n0123456789\r\n0\r\nT: "
                "1\r\n\r\n",
         false, ReplyState::Complete, 200, "abc0123456789", true},
        {"until close", k200 + "\r\nall of it", true, ReplyState::Complete, 200, "all of it",
         false},
        {"interim answers first",
         "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 102 P\r\n\r\n" + k200 +
             "Content-Length: 1\r\n\r\n!",
         false, ReplyState::Complete, 200, "!", true},
        {"leading empty line", "\r\n" + k200 + "Content-Length: 0\r\n\r\n", false,
         ReplyState::Complete, 200, "", true},
        {"not HTTP", "FOO 200 OK\r\n\r\n", false, ReplyState::Malformed, 0, "", false},
        {"status of two digits", "HTTP/1.1 20 OK\r\n\r\n", false, ReplyState::Malformed, 0, "",
         false},
        {"status glued to reason", "HTTP/1.1 200OK\r\n\r\n", false, ReplyState::Malformed, 0, "",
         false},
        {"HTTP/2 status line", "HTTP/2 200\r\n\r\n", false, ReplyState::Malformed, 0, "", false},
        {"header without colon", k200 + "oops\r\n\r\n", false, ReplyState::Malformed, 200, "",
         false},
        {"folded header", k200 + "X: a\r\n b\r\n\r\n", false, ReplyState::Malformed, 200, "",
         false},
        {"two lengths", k200 + "Content-Length: 1\r\nContent-Length: 2\r\n\r\nab", false,
         ReplyState::Malformed, 200, "", false},
        {"negative length", k200 + "Content-Length: -1\r\n\r\n", false, ReplyState::Malformed, 200,
         "", false},
        {"gzip coding", k200 + "Transfer-Encoding: gzip, chunked\r\n\r\n", false,
         ReplyState::Malformed, 200, "", false},
        {"bad chunk size", k200 + "Transfer-Encoding: chunked\r\n\r\nzz\r\n", false,
         ReplyState::Malformed, 200, "", false},
        {"chunk without its CRLF", k200 + "Transfer-Encoding: chunked\r\n\r\n1\r\naXY\r\n", false,
         ReplyState::Malformed, 200, "a", false},
        {"protocol switch", "HTTP/1.1 101 Switching\r\n\r\n", false, ReplyState::Malformed, 101, "",
         false},
        {"cut in the head", k200 + "Content-Le", true, ReplyState::Truncated, 200, "", false},
        {"cut in the body", k200 + "Content-Length: 5\r\n\r\nab", true, ReplyState::Truncated, 200,
         "ab", false},
        {"nothing at all", "", true, ReplyState::Truncated, 0, "", false},
        {"line over the limit", "HTTP/1.1 200 " + longLine + "\r\n\r\n", false,
         ReplyState::HeadTooLarge, 0, "", false},
        {"line without end over the limit", "HTTP/1.1 200 " + longLine, false,
         ReplyState::HeadTooLarge, 0, "", false},
        {"head over the limit",
         k200 + "A: " + std::string(70, 'a') + "\r\nB: " + std::string(70, 'b') + "\r\n\r\n", false,
         ReplyState::HeadTooLarge, 200, "", false},
        {"endless interim answers",
         [] {
             std::string many;
             for (int i = 0; i < 20; ++i) {
                 many += "HTTP/1.1 100 Continue\r\n\r\n";
             }
             return many;
         }(),
         false, ReplyState::HeadTooLarge, 100, "", false},
        {"announced body over the limit", k200 + "Content-Length: 201\r\n\r\n", false,
         ReplyState::BodyTooLarge, 200, "", true},
        {"chunks over the limit",
         k200 + "Transfer-Encoding: chunked\r\n\r\nC8\r\n" + std::string(200, 'c') + "\r\n1\r\n",
         false, ReplyState::BodyTooLarge, 200, std::string(200, 'c'), true},
        {"close-delimited over the limit", k200 + "\r\n" + std::string(201, 'u'), true,
         ReplyState::BodyTooLarge, 200, std::string(), false},
    };
    const ReplyLimits limits{80, 160, 200};
    for (const ReplyCase& c : cases) {
        for (std::size_t step : {std::size_t{1}, std::size_t{7}, c.bytes.size() + 1}) {
            const Verdict verdict = Read(c.bytes, step, c.closeAtEnd, limits);
            SCOPED_TRACE(std::string(c.name) + ", fed " + std::to_string(step) + " at a time");
            EXPECT_EQ(verdict.state, c.state);
            EXPECT_EQ(verdict.status, c.status);
            if (c.state == ReplyState::Complete) {
                EXPECT_EQ(verdict.body, c.body);
                EXPECT_EQ(verdict.keepAlive, c.keepAlive);
            }
        }
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
