// A non-blocking TCP socket whose every wait ends by a deadline or when the caller's cancel flag
// rises: no peer, however slow or silent, holds a caller longer than the caller allows.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// The C library's (POSIX: netdb.h; Windows: ws2def.h).
struct addrinfo;

namespace Osmer_Framework {
namespace http {

using Clock = std::chrono::steady_clock;
using Deadline = Clock::time_point;

#ifdef _WIN32
using SocketHandle = std::uintptr_t;
#else
using SocketHandle = int;
#endif

enum class IoStatus {
    Done,
    Timeout,
    Cancelled,
    Refused,     // connect: refused or unreachable
    Unresolved,  // connect: the host name did not resolve, or not by the deadline
    Reset,       // the peer reset the connection (or it was already reset when we wrote)
    Closed,      // receive: the peer closed its side
    Failed,      // anything else
};

// Longest single wait while a cancel flag may rise: the delay a cancel can see where nothing wakes
// a wait early (on Windows, and while a name is being resolved).
constexpr std::chrono::milliseconds kCancelSlice{25};

// Lets another thread end a socket's wait: the flag is checked before each wait and at least every
// few tens of milliseconds during one; on POSIX a shutdown of the attached socket wakes it at once.
class CancelSignal {
public:
    virtual bool Raised() const = 0;
    virtual void Attach(SocketHandle socket) = 0;  // the socket whose waits the signal may cut
    virtual void Detach() = 0;

protected:
    ~CancelSignal() = default;
};

struct ConnectLimits {
    // For each of a host's addresses, at most; see ConnectDeadline.
    std::chrono::milliseconds connectTimeout;
    Deadline deadline;  // of the whole exchange: resolution and connection end by it
};

// When the attempt at the next of `addressesLeft` addresses gives up: after `connectTimeout`, and
// no later than its even share of what is left of `deadline`, so that addresses that never answer
// cannot keep the exchange from the last one. A name with twelve dead addresses before a live one
// reaches the live one with a share of the deadline still its own.
Deadline ConnectDeadline(Clock::time_point now, Deadline deadline,
                         std::chrono::milliseconds connectTimeout, std::size_t addressesLeft);

class TcpSocket {
public:
    TcpSocket() = default;
    ~TcpSocket();
    TcpSocket(TcpSocket&& other) noexcept;
    TcpSocket& operator=(TcpSocket&& other) noexcept;
    TcpSocket(const TcpSocket&) = delete;
    TcpSocket& operator=(const TcpSocket&) = delete;

    // Resolves `host` and connects to the first of its addresses that answers, with TCP_NODELAY
    // on. `why` tells an Unresolved in words: which name, and why.
    static IoStatus Connect(const std::string& host, int port, const ConnectLimits& limits,
                            CancelSignal* cancel, TcpSocket& connected, std::string& why);

    // Sends what the socket takes at once of `first` then `second` (a request's head and body,
    // without joining them), starting `offset` bytes in, and advances `offset`; Done also when it
    // took nothing. Never waits.
    IoStatus SendSome(const std::string& first, const std::string& second, std::size_t& offset);
    // Waits until the socket takes more bytes or has something to read (an early answer, a close
    // or a reset: `readable` says which of the two).
    IoStatus WaitToSend(Deadline deadline, CancelSignal* cancel, bool& readable);
    // Receives what is there, at most `capacity` bytes, waiting for at least one. Closed when the
    // peer has closed its side.
    // `now` saves a clock read (not free) to a caller that has just read it to set the deadline.
    IoStatus ReceiveSome(char* buffer, std::size_t capacity, Deadline deadline,
                         CancelSignal* cancel, std::size_t& received,
                         Clock::time_point now = Clock::now());
    // An idle keep-alive socket is usable only while nothing is waiting on it: a readable idle
    // socket has been closed (or reset) by the peer, or holds bytes nobody asked for.
    bool IdleAndOpen() const;

    bool IsOpen() const;
    SocketHandle Handle() const { return m_handle; }

private:
    explicit TcpSocket(SocketHandle handle) : m_handle(handle) {}
    void Close();
    static IoStatus ConnectToOne(const addrinfo& address, Deadline deadline, CancelSignal* cancel,
                                 TcpSocket& connected);

    SocketHandle m_handle = InvalidHandle();
    bool m_receiveWaits = false;  // its receive may wait, a slice at most

    static SocketHandle InvalidHandle();
};

// Wakes waits on `socket` from another thread (POSIX: shutdown; Windows: nothing to do, the
// waits look at the flag often enough).
void InterruptWaits(SocketHandle socket);

}  // namespace http
}  // namespace Osmer_Framework
