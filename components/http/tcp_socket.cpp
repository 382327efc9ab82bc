#include "tcp_socket.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#else
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "name_resolver.h"

namespace Osmer_Framework {
namespace http {

namespace {

// An address's least share of the connect time-out, which a live but distant gateway needs for
// its handshake; only a host with many addresses gets shares this small.
constexpr std::chrono::milliseconds kLeastConnectShare{250};

#ifdef _WIN32
constexpr SocketHandle kInvalid = INVALID_SOCKET;

// select(), not WSAPoll(): WSAPoll does not report a refused connect on older Windows. A failed
// connect shows in the exception set.
int WaitReady(SocketHandle handle, bool forWrite, int milliseconds)
{
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(handle, &ready);
    FD_SET(handle, &failed);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    return select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
}
// Ready to write, or readable (an answer, a close or an error waits): `readable` says which.
int WaitEither(SocketHandle handle, int milliseconds, bool& readable)
{
    fd_set toRead;
    fd_set toWrite;
    fd_set failed;
    FD_ZERO(&toRead);
    FD_ZERO(&toWrite);
    FD_ZERO(&failed);
    FD_SET(handle, &toRead);
    FD_SET(handle, &toWrite);
    FD_SET(handle, &failed);
    timeval wait{milliseconds / 1000, (milliseconds % 1000) * 1000};
    const int ready = select(0, &toRead, &toWrite, &failed, &wait);
    readable = ready > 0 && (FD_ISSET(handle, &toRead) || FD_ISSET(handle, &failed));
    return ready;
}
int LastError()
{
    return WSAGetLastError();
}
bool WouldBlock(int error)
{
    return error == WSAEWOULDBLOCK;
}
bool Interrupted(int)
{
    return false;
}
bool WasReset(int error)
{
    return error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
}
void CloseHandleOf(SocketHandle handle)
{
    closesocket(handle);
}
bool MakeNonBlocking(SocketHandle handle)
{
    u_long on = 1;
    // FIONBIO is an unsigned constant that ioctlsocket takes as a long, bit for bit.
    return ioctlsocket(handle, static_cast<long>(FIONBIO), &on) == 0;
}
// Not inherited by child processes the host starts: a child holding our socket would keep a
// connection open after we closed it.
SocketHandle NewStreamSocket(int family)
{
    return WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}
void EnsureSocketsStarted()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}
int SendTwo(SocketHandle handle, const char* first, std::size_t firstSize, const char* second,
            std::size_t secondSize, std::size_t& sent)
{
    // A WSABUF holds a ULONG length: a longer part goes in pieces, the caller sending the rest,
    // and the second part waits until the first is out whole.
    constexpr std::size_t kMostPerBuffer = std::size_t{1} << 30;
    const std::size_t firstPart = std::min(firstSize, kMostPerBuffer);
    const std::size_t secondPart = std::min(secondSize, kMostPerBuffer);
    WSABUF buffers[2] = {{static_cast<ULONG>(firstPart), const_cast<char*>(first)},
                         {static_cast<ULONG>(secondPart), const_cast<char*>(second)}};
    const DWORD bufferCount = firstSize == 0 || firstPart < firstSize ? 1 : 2;
    DWORD count = 0;
    const int result = WSASend(handle, firstSize > 0 ? buffers : buffers + 1, bufferCount, &count,
                               0, nullptr, nullptr);
    sent = count;
    return result == 0 ? 0 : -1;
}
long ReceiveInto(SocketHandle handle, char* buffer, std::size_t capacity)
{
    const int limit = static_cast<int>(std::min<std::size_t>(capacity, 1 << 30));
    return recv(handle, buffer, limit, 0);
}
#else
constexpr SocketHandle kInvalid = -1;

int WaitReady(SocketHandle handle, bool forWrite, int milliseconds)
{
    pollfd entry{};
    entry.fd = handle;
    entry.events = forWrite ? POLLOUT : POLLIN;
    return poll(&entry, 1, milliseconds);
}
// Ready to write, or readable (an answer, a close or an error waits): `readable` says which.
int WaitEither(SocketHandle handle, int milliseconds, bool& readable)
{
    pollfd entry{};
    entry.fd = handle;
    entry.events = POLLIN | POLLOUT;
    const int ready = poll(&entry, 1, milliseconds);
    readable = ready > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    return ready;
}
int LastError()
{
    return errno;
}
bool WouldBlock(int error)
{
    return error == EAGAIN || error == EWOULDBLOCK;
}
bool Interrupted(int error)
{
    return error == EINTR;
}
bool WasReset(int error)
{
    return error == ECONNRESET || error == EPIPE || error == ECONNABORTED;
}
void CloseHandleOf(SocketHandle handle)
{
    close(handle);
}
bool MakeNonBlocking(SocketHandle handle)
{
    const int flags = fcntl(handle, F_GETFL, 0);
    return flags >= 0 && fcntl(handle, F_SETFL, flags | O_NONBLOCK) == 0;
}
SocketHandle NewStreamSocket(int family)
{
    return socket(family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}
void EnsureSocketsStarted() {}
// MSG_NOSIGNAL: a peer that has gone must not raise SIGPIPE in the host's process.
int SendTwo(SocketHandle handle, const char* first, std::size_t firstSize, const char* second,
            std::size_t secondSize, std::size_t& sent)
{
    iovec parts[2] = {{const_cast<char*>(first), firstSize},
                      {const_cast<char*>(second), secondSize}};
    msghdr message{};
    message.msg_iov = firstSize > 0 ? parts : parts + 1;
    message.msg_iovlen = firstSize > 0 ? 2 : 1;
    const ssize_t count = sendmsg(handle, &message, MSG_NOSIGNAL);
    sent = count > 0 ? static_cast<std::size_t>(count) : 0;
    return count >= 0 ? 0 : -1;
}
long ReceiveInto(SocketHandle handle, char* buffer, std::size_t capacity)
{
    return static_cast<long>(recv(handle, buffer, capacity, 0));
}
#endif

int MillisecondsUntil(Deadline deadline, Clock::time_point now, bool sliced)
{
    auto wait = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
    if (sliced) {
        wait = std::min(wait, kCancelSlice);
    }
    // A host may allow more than poll() can wait at once (about 24 days); the wait then ends early
    // and the caller waits again.
    wait = std::min(wait, std::chrono::milliseconds(std::numeric_limits<int>::max()));
    return static_cast<int>(wait.count());
}

// Calls `waitReady(milliseconds)` (a poll or select: > 0 ready, 0 nothing yet, < 0 an error) until
// it reports readiness, the deadline passes or the cancel flag rises.
template <class WaitReadyFor>
IoStatus WaitUntilReady(Deadline deadline, CancelSignal* cancel, WaitReadyFor waitReady)
{
    for (;;) {
        if (cancel != nullptr && cancel->Raised()) {
            return IoStatus::Cancelled;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return IoStatus::Timeout;
        }
        const int ready = waitReady(MillisecondsUntil(deadline, now, cancel != nullptr));
        if (ready > 0) {
            return IoStatus::Done;  // readiness or an error: the next call tells which
        }
        if (ready < 0 && !Interrupted(LastError())) {
            return IoStatus::Failed;
        }
    }
}

// Waits until the socket is ready for `events`, the deadline passes or the cancel flag rises.
IoStatus WaitFor(SocketHandle handle, bool forWrite, Deadline deadline, CancelSignal* cancel)
{
    return WaitUntilReady(deadline, cancel, [handle, forWrite](int milliseconds) {
        return WaitReady(handle, forWrite, milliseconds);
    });
}

IoStatus StatusOfError(int error)
{
    return WasReset(error) ? IoStatus::Reset : IoStatus::Failed;
}

int PendingError(SocketHandle handle)
{
    int error = 0;
    socklen_t length = sizeof(error);
    if (getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return LastError();
    }
    return error;
}

bool ConnectInProgress(int error)
{
#ifdef _WIN32
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
#else
    return error == EINPROGRESS;
#endif
}

// One address: Done with the socket connected, Refused or Timeout to try the next, or why to stop.
IoStatus ConnectTo(const addrinfo& address, Deadline deadline, CancelSignal* cancel,
                   SocketHandle handle)
{
    if (!MakeNonBlocking(handle)) {
        return IoStatus::Failed;
    }
    const int on = 1;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on), sizeof(on));
    if (connect(handle, address.ai_addr, static_cast<socklen_t>(address.ai_addrlen)) == 0) {
        return IoStatus::Done;
    }
    if (!ConnectInProgress(LastError())) {
        return IoStatus::Refused;
    }
    const IoStatus waited = WaitFor(handle, true, deadline, cancel);
    if (waited != IoStatus::Done) {
        return waited;
    }
    return PendingError(handle) == 0 ? IoStatus::Done : IoStatus::Refused;
}

// The connect time left, divided among the addresses left.
Deadline ShareOfConnectTime(Deadline connectBy, std::size_t addressesLeft)
{
    const auto now = Clock::now();
    const auto evenShare = (connectBy - now) / static_cast<Clock::rep>(addressesLeft);
    return std::min(connectBy, now + std::max<Clock::duration>(evenShare, kLeastConnectShare));
}

}  // namespace

SocketHandle TcpSocket::InvalidHandle()
{
    return kInvalid;
}

TcpSocket::~TcpSocket()
{
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept : m_handle(other.m_handle)
{
    other.m_handle = kInvalid;
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        other.m_handle = kInvalid;
    }
    return *this;
}

void TcpSocket::Close()
{
    if (m_handle != kInvalid) {
        CloseHandleOf(m_handle);
        m_handle = kInvalid;
    }
}

bool TcpSocket::IsOpen() const
{
    return m_handle != kInvalid;
}

IoStatus TcpSocket::ConnectToOne(const addrinfo& address, Deadline deadline, CancelSignal* cancel,
                                 TcpSocket& connected)
{
    TcpSocket candidate(NewStreamSocket(address.ai_family));
    if (!candidate.IsOpen()) {
        return IoStatus::Failed;
    }
    if (cancel != nullptr) {
        cancel->Attach(candidate.m_handle);
    }
    const IoStatus status = ConnectTo(address, deadline, cancel, candidate.m_handle);
    if (cancel != nullptr) {
        cancel->Detach();  // before the socket may close: its number could be reused
    }
    if (status == IoStatus::Done) {
        connected = std::move(candidate);
    }
    return status;
}

IoStatus TcpSocket::Connect(const std::string& host, int port, const ConnectLimits& limits,
                            CancelSignal* cancel, TcpSocket& connected, std::string& why)
{
    EnsureSocketsStarted();
    const Resolution resolved = ResolveHost(host, port, limits.deadline, cancel);
    if (resolved.status != ResolveStatus::Resolved) {
        why = resolved.reason;
        return resolved.status == ResolveStatus::Cancelled ? IoStatus::Cancelled
                                                           : IoStatus::Unresolved;
    }
    const Deadline connectBy = std::min(limits.deadline, Clock::now() + limits.connectTimeout);
    std::size_t left = 0;
    for (const addrinfo* address = resolved.addresses.get(); address != nullptr;
         address = address->ai_next) {
        ++left;
    }
    bool timedOut = false;
    for (const addrinfo* address = resolved.addresses.get();
         address != nullptr && Clock::now() < connectBy; address = address->ai_next, --left) {
        const IoStatus status =
            ConnectToOne(*address, ShareOfConnectTime(connectBy, left), cancel, connected);
        if (status == IoStatus::Done || status == IoStatus::Cancelled) {
            return status;
        }
        timedOut = timedOut || status == IoStatus::Timeout;
    }
    return timedOut || Clock::now() >= connectBy ? IoStatus::Timeout : IoStatus::Refused;
}

IoStatus TcpSocket::SendSome(const std::string& first, const std::string& second,
                             std::size_t& offset)
{
    const std::size_t total = first.size() + second.size();
    while (offset < total) {
        const bool inFirst = offset < first.size();
        const char* head = inFirst ? first.data() + offset : nullptr;
        const std::size_t headSize = inFirst ? first.size() - offset : 0;
        const std::size_t bodyOffset = inFirst ? 0 : offset - first.size();
        std::size_t sent = 0;
        if (SendTwo(m_handle, head, headSize, second.data() + bodyOffset,
                    second.size() - bodyOffset, sent) == 0) {
            offset += sent;
            continue;
        }
        const int error = LastError();
        if (Interrupted(error)) {
            continue;
        }
        return WouldBlock(error) ? IoStatus::Done : StatusOfError(error);
    }
    return IoStatus::Done;
}

IoStatus TcpSocket::WaitToSend(Deadline deadline, CancelSignal* cancel, bool& readable)
{
    const SocketHandle handle = m_handle;
    return WaitUntilReady(deadline, cancel, [handle, &readable](int milliseconds) {
        return WaitEither(handle, milliseconds, readable);
    });
}

IoStatus TcpSocket::ReceiveSome(char* buffer, std::size_t capacity, Deadline deadline,
                                CancelSignal* cancel, std::size_t& received)
{
    received = 0;
    for (;;) {
        const IoStatus waited = WaitFor(m_handle, false, deadline, cancel);
        if (waited != IoStatus::Done) {
            return waited;
        }
        const long count = ReceiveInto(m_handle, buffer, capacity);
        if (count > 0) {
            received = static_cast<std::size_t>(count);
            return IoStatus::Done;
        }
        if (count == 0) {
            return IoStatus::Closed;
        }
        const int error = LastError();
        if (!WouldBlock(error) && !Interrupted(error)) {
            return StatusOfError(error);
        }
    }
}

bool TcpSocket::IdleAndOpen() const
{
    return IsOpen() && WaitReady(m_handle, false, 0) == 0;
}

void InterruptWaits(SocketHandle socket)
{
#ifdef _WIN32
    (void)socket;
#else
    shutdown(socket, SHUT_RDWR);
#endif
}

}  // namespace http
}  // namespace Osmer_Framework
