#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "socket_calls.h"

namespace Osmer_Framework {
namespace http {
namespace socket_calls {

SocketHandle Invalid()
{
    return -1;
}

void EnsureStarted() {}

SocketHandle NewStream(int family)
{
    return socket(family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP);
}

void Close(SocketHandle handle)
{
    close(handle);
}

bool Prepare(SocketHandle handle)
{
    const int flags = fcntl(handle, F_GETFL, 0);
    if (flags < 0 || fcntl(handle, F_SETFL, flags | O_NONBLOCK) != 0) {
        return false;
    }
    const int on = 1;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, &on, sizeof(on));
    return true;
}

bool LetReceiveWait(SocketHandle handle, std::chrono::milliseconds slice)
{
    const timeval timeout{static_cast<time_t>(slice.count() / 1000),
                          static_cast<suseconds_t>(slice.count() % 1000 * 1000)};
    const int flags = fcntl(handle, F_GETFL, 0);
    return flags >= 0 &&
           setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof(timeout)) == 0 &&
           fcntl(handle, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

int Connect(SocketHandle handle, const addrinfo& address)
{
    return connect(handle, address.ai_addr, address.ai_addrlen);
}

int PendingError(SocketHandle handle)
{
    int error = 0;
    socklen_t length = sizeof(error);
    return getsockopt(handle, SOL_SOCKET, SO_ERROR, &error, &length) == 0 ? error : errno;
}

int WaitReady(SocketHandle handle, bool forWrite, int milliseconds)
{
    pollfd entry{};
    entry.fd = handle;
    entry.events = forWrite ? POLLOUT : POLLIN;
    return poll(&entry, 1, milliseconds);
}

int WaitEither(SocketHandle handle, int milliseconds, bool& readable)
{
    pollfd entry{};
    entry.fd = handle;
    entry.events = POLLIN | POLLOUT;
    const int ready = poll(&entry, 1, milliseconds);
    readable = ready > 0 && (entry.revents & (POLLIN | POLLHUP | POLLERR)) != 0;
    return ready;
}

// MSG_NOSIGNAL: no SIGPIPE from a peer that has gone. MSG_DONTWAIT: never waits, whether the
// socket blocks or not.
int SendTwo(SocketHandle handle, const char* first, std::size_t firstSize, const char* second,
            std::size_t secondSize, std::size_t& sent)
{
    iovec parts[2] = {{const_cast<char*>(first), firstSize},
                      {const_cast<char*>(second), secondSize}};
    msghdr message{};
    message.msg_iov = firstSize > 0 ? parts : parts + 1;
    message.msg_iovlen = firstSize > 0 ? 2 : 1;
    const ssize_t count = sendmsg(handle, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    sent = count > 0 ? static_cast<std::size_t>(count) : 0;
    return count >= 0 ? 0 : -1;
}

long Receive(SocketHandle handle, char* buffer, std::size_t capacity, bool wait)
{
    return static_cast<long>(recv(handle, buffer, capacity, wait ? 0 : MSG_DONTWAIT));
}

bool NothingWaiting(SocketHandle handle)
{
    char byte = 0;
    return recv(handle, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && WouldBlock(errno);
}

void Interrupt(SocketHandle handle)
{
    shutdown(handle, SHUT_RDWR);
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

bool ConnectInProgress(int error)
{
    return error == EINPROGRESS;
}

}  // namespace socket_calls
}  // namespace http
}  // namespace Osmer_Framework
