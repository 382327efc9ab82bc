#include <algorithm>
#include <mutex>

#include "socket_calls.h"

namespace Osmer_Framework {
namespace http {
namespace socket_calls {

namespace {

timeval Wait(int milliseconds)
{
    return timeval{milliseconds / 1000, (milliseconds % 1000) * 1000};
}

}  // namespace

SocketHandle Invalid()
{
    return INVALID_SOCKET;
}

void EnsureStarted()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}

SocketHandle NewStream(int family)
{
    return WSASocketW(family, SOCK_STREAM, IPPROTO_TCP, nullptr, 0,
                      WSA_FLAG_OVERLAPPED | WSA_FLAG_NO_HANDLE_INHERIT);
}

void Close(SocketHandle handle)
{
    closesocket(handle);
}

bool Prepare(SocketHandle handle)
{
    u_long on = 1;
    // FIONBIO is an unsigned constant that ioctlsocket takes as a long, bit for bit.
    if (ioctlsocket(handle, static_cast<long>(FIONBIO), &on) != 0) {
        return false;
    }
    const int noDelay = 1;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay),
               sizeof(noDelay));
    return true;
}

bool LetReceiveWait(SocketHandle, std::chrono::milliseconds)
{
    return false;
}

int Connect(SocketHandle handle, const addrinfo& address)
{
    return connect(handle, address.ai_addr, static_cast<int>(address.ai_addrlen));
}

int PendingError(SocketHandle handle)
{
    int error = 0;
    int length = sizeof(error);
    return getsockopt(handle, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) == 0
               ? error
               : WSAGetLastError();
}

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
    timeval wait = Wait(milliseconds);
    return select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
}

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
    timeval wait = Wait(milliseconds);
    const int ready = select(0, &toRead, &toWrite, &failed, &wait);
    readable = ready > 0 && (FD_ISSET(handle, &toRead) || FD_ISSET(handle, &failed));
    return ready;
}

// A WSABUF holds a ULONG length: a longer part goes in pieces, the caller sending the rest, and
// the second part waits until the first is out whole. Windows raises no signal for a gone peer.
int SendTwo(SocketHandle handle, const char* first, std::size_t firstSize, const char* second,
            std::size_t secondSize, std::size_t& sent)
{
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

long Receive(SocketHandle handle, char* buffer, std::size_t capacity, bool /*wait*/)
{
    const int limit = static_cast<int>(std::min<std::size_t>(capacity, 1 << 30));
    return recv(handle, buffer, limit, 0);
}

bool NothingWaiting(SocketHandle handle)
{
    return WaitReady(handle, false, 0) == 0;
}

void Interrupt(SocketHandle) {}

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

bool ConnectInProgress(int error)
{
    return error == WSAEWOULDBLOCK || error == WSAEINPROGRESS;
}

}  // namespace socket_calls
}  // namespace http
}  // namespace Osmer_Framework
