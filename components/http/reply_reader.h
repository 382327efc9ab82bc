// Reads one HTTP/1.x answer out of the bytes a connection delivers, with every part bounded: a
// single line, the heads of the answer (interim 1xx answers and chunk trailers included) and the
// body. It does no I/O, so any byte sequence can be fed to it (and is, by the fuzz target).
#pragma once

#include <cstddef>
#include <string>

namespace Osmer_Framework {
namespace http {

struct ReplyLimits {
    std::size_t maxLineBytes = 8 * 1024;   // status line, one header line, one chunk-size line
    std::size_t maxHeadBytes = 64 * 1024;  // every head line of the exchange together
    std::size_t maxBodyBytes = 16 * 1024 * 1024;
    // Body bytes kept for the caller; the rest is read, counted against maxBodyBytes and dropped.
    std::size_t keepBodyBytes = static_cast<std::size_t>(-1);
};

enum class ReplyState {
    Incomplete,  // feed more bytes
    Complete,    // the whole answer is in
    HeadTooLarge,
    BodyTooLarge,
    Malformed,  // not an HTTP/1.x answer this client can read
    Truncated,  // the connection ended before the answer did
};

class ReplyReader {
public:
    // The body is appended to `body`, which the caller has emptied.
    ReplyReader(const ReplyLimits& limits, std::string& body);

    // Consumes bytes of the answer and returns how many it used: all of them while the answer is
    // incomplete, fewer when it completes or fails inside `data`.
    std::size_t Feed(const char* data, std::size_t size);
    // The peer closed the connection: ends a body that runs until the close.
    void FeedEnd();

    ReplyState State() const { return m_state; }
    bool Finished() const { return m_state != ReplyState::Incomplete; }
    int Status() const { return m_status; }
    // Whether the connection may carry another request after this answer.
    bool KeepAlive() const { return m_keepAlive; }
    // The "timeout=" of the final answer's Keep-Alive header in seconds, or -1 without one.
    long KeepAliveTimeout() const { return m_keepAliveTimeout; }

private:
    enum class Stage { StatusLine, HeaderLines, Body, ChunkSize, ChunkData, ChunkEnd, Trailers };
    enum class BodyKind { None, Length, Chunked, UntilClose };

    std::size_t FeedLine(const char* data, std::size_t size);
    void OnLine(const char* line, std::size_t length);
    void OnStatusLine(const char* line, std::size_t length);
    void OnHeaderLine(const char* line, std::size_t length);
    void OnHeadEnd();
    void OnChunkSizeLine(const char* line, std::size_t length);
    bool CountFraming(std::size_t bytes);
    std::size_t FeedBody(const char* data, std::size_t size);
    bool AppendBody(const char* data, std::size_t size);
    void Fail(ReplyState state) { m_state = state; }

    const ReplyLimits m_limits;
    std::string& m_body;
    ReplyState m_state = ReplyState::Incomplete;
    Stage m_stage = Stage::StatusLine;
    BodyKind m_bodyKind = BodyKind::UntilClose;
    std::string m_line;  // a line split across two feeds
    std::size_t m_headBytes = 0;
    std::size_t m_framingBytes = 0;  // chunk-size lines, extensions and chunk ends
    std::size_t m_bodyBytes = 0;     // kept or not
    std::size_t m_remaining = 0;     // of the Content-Length body or of the current chunk
    long m_keepAliveTimeout = -1;
    int m_status = 0;
    bool m_http11 = false;
    bool m_keepAlive = false;
    bool m_sawLength = false;
    bool m_sawChunked = false;
    bool m_connectionClose = false;
    bool m_connectionKeepAlive = false;
};

}  // namespace http
}  // namespace Osmer_Framework
