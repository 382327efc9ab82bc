// The framework's HTTP client: POSTs a text body to a full http:// URL and says what came of it.
//
// Connections are kept alive and pooled, one connection per concurrent caller, so several threads
// may post through one client at once without waiting for each other. Redirects are not followed.
// HttpPost returns its outcome as a value; the framework's own pair, HttpPostRequest then
// GetLastPostStatus, keeps it per thread, so a caller reads its own status, never another's.
//
// Whatever the peer does, a POST ends: every wait has a time-out, the whole exchange a deadline,
// and the answer's head and body are bounded, so a broken or hostile gateway costs a caller at most
// totalTimeout and a few kilobytes beyond maxReplyBytes.
//
// A request is sent at most once, unless the peer cannot have seen it: it is sent again, once and
// on a new connection, only when not one byte of it went into a connection (a kept connection was
// found closed or reset first), or when a kept connection answered "408 Request Timeout". Once a
// byte went out, a close or reset before the answer is a failure: the peer may have acted on it.
// docs/transport.md tells the whole set of rules and what no HTTP/1.1 client can detect.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "VurodoroViri_Export.h"

namespace Osmer_Framework {

// Why a POST did not bring an answer, kept apart from the HTTP status.
enum class Terminal_Http_Error {
    None,           // an answer arrived (whatever its status)
    InvalidUrl,     // not "http://host[:port][/path]"
    Connect,        // connection refused or host unreachable
    Timeout,        // connect, write or read time-out
    Transport,      // the connection broke while sending or reading
    ReplyTooLarge,  // the answer's head or body exceeded its limit
    Cancelled,      // Terminal_Http_Cancel::Cancel() aborted it
    BadReply,       // the answer was not HTTP/1.x
    Resolve,        // the host name did not resolve, or not within the deadline
};

TERMINAL_HTTP_TOOL_API const char* Terminal_Http_ErrorName(Terminal_Http_Error error);

struct Terminal_Http_Options {
    std::chrono::milliseconds connectTimeout{3000};
    std::chrono::milliseconds readTimeout{15000};    // per read; a slow photo upload may trickle
    std::chrono::milliseconds writeTimeout{15000};   // per write
    std::chrono::milliseconds totalTimeout{30000};   // the whole POST, connect to last byte
    std::size_t maxReplyBytes{16u * 1024u * 1024u};  // the answer's body
    std::size_t maxReplyHeadBytes{64u * 1024u};  // status lines and headers, 1xx answers included
    std::size_t maxReplyLineBytes{8u * 1024u};   // any one of those lines
    // Idle kept connections of one client, all origins together; the least recently used goes
    // first. Enough for as many concurrent callers as a host typically runs through one client.
    std::size_t maxIdleConnections{16};
    // A kept connection idle longer than this, or than the peer's Keep-Alive "timeout=" less a
    // second (half of it when shorter), is closed, not reused: a firewall or NAT may have
    // forgotten it silently, or the peer may be closing it.
    std::chrono::milliseconds idleTimeout{30000};
};

// Lets another thread abort a POST in flight. Cancel() is sticky: the request running now and every
// later request made with this token fail with Terminal_Http_Error::Cancelled until Reset().
class TERMINAL_HTTP_TOOL_API Terminal_Http_Cancel {
public:
    Terminal_Http_Cancel();
    ~Terminal_Http_Cancel();
    Terminal_Http_Cancel(const Terminal_Http_Cancel&) = delete;
    Terminal_Http_Cancel& operator=(const Terminal_Http_Cancel&) = delete;

    void Cancel();
    void Reset();

    struct State;

private:
    friend class Terminal_Http_Tool;
    std::unique_ptr<State> m_pState;
};

// What one POST came to.
struct Terminal_Http_Result {
    int status = 0;  // the answer's HTTP status; 0 when no answer came
    Terminal_Http_Error error = Terminal_Http_Error::None;
    // Whether any byte of the request went into a connection. False: the peer cannot have acted
    // on it. True with no answer: it may have.
    bool written = false;
    // More about a failure than `error` says, for a person ("cannot resolve gateway.example: no
    // such host"), or "".
    std::string detail;

    bool Answered() const { return error == Terminal_Http_Error::None; }
};

// How one POST treats its connection and its answer.
struct Terminal_Http_Call {
    Terminal_Http_Cancel* cancel = nullptr;  // lets another thread abort it
    // Body bytes kept in the reply; the rest is read (within maxReplyBytes) and dropped, so an
    // answer nobody reads costs no memory.
    std::size_t keepReplyBytes = static_cast<std::size_t>(-1);
    bool freshConnection = false;  // a new connection, closed afterwards
};

class TERMINAL_HTTP_TOOL_API Terminal_Http_Tool {
public:
    Terminal_Http_Tool();
    explicit Terminal_Http_Tool(const Terminal_Http_Options& _options);
    ~Terminal_Http_Tool();
    // A copy is a new client with the same options; it shares no connection with the original.
    Terminal_Http_Tool(const Terminal_Http_Tool& _other);
    Terminal_Http_Tool& operator=(const Terminal_Http_Tool& _other);
    Terminal_Http_Tool(Terminal_Http_Tool&& _other);
    Terminal_Http_Tool& operator=(Terminal_Http_Tool&& _other);

    // POSTs `_strBody` (sent as text/plain, byte for byte) to `_strUrl` and blocks until the
    // answer is read. Answered whatever the status, with `_strReply` holding the answer's body
    // (what `_call` keeps of it); otherwise a bad URL, a transport failure, a time-out, an
    // oversized or malformed answer or a cancellation, and `_strReply` empty.
    Terminal_Http_Result HttpPost(const std::string& _strUrl, const std::string& _strBody,
                                  std::string& _strReply,
                                  const Terminal_Http_Call& _call = Terminal_Http_Call());

    // The framework's form: HttpPost, true when an answer arrived (whatever its status), and the
    // status kept for GetLastPostStatus on this thread. `_bFreshConnection` true uses a new
    // connection that is closed afterwards.
    bool HttpPostRequest(const std::string& _strUrl, const std::string& _strBody,
                         std::string& _strReply, bool _bFreshConnection);
    // Status code of the calling thread's last HttpPostRequest on this client as decimal text
    // ("200"), or "" when that POST brought no answer or the thread has not posted yet.
    std::string GetLastPostStatus() const;

    // Closes the idle connections to every origin but that of `_strUrl` (all of them when it does
    // not parse): for a caller that moves to another gateway.
    void CloseIdleConnectionsExcept(const std::string& _strUrl);

    // Applies to connections opened from now on; idle connections are dropped.
    void SetOptions(const Terminal_Http_Options& _options);
    Terminal_Http_Options GetOptions() const;

    class Impl;

private:
    std::unique_ptr<Impl> m_pImpl;
};

}  // namespace Osmer_Framework
