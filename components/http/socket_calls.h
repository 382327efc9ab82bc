// The system's socket calls as TcpSocket uses them, one source per platform
// (socket_calls_posix.cpp, socket_calls_windows.cpp), so that the socket's own logic reads the same
// on both.
#pragma once

#include <chrono>
#include <cstddef>

#include "tcp_socket.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#endif

namespace Osmer_Framework {
namespace http {
namespace socket_calls {

SocketHandle Invalid();
// Makes the socket library ready (Windows) once per process.
void EnsureStarted();
// A TCP socket of `family`, not inherited by child processes the host starts (a child holding our
// socket would keep a connection open after we closed it); Invalid() when none could be made.
SocketHandle NewStream(int family);
void Close(SocketHandle handle);
// Non-blocking, with TCP_NODELAY; false when the socket cannot be made non-blocking.
bool Prepare(SocketHandle handle);
// Once connected: whether Receive may wait, for at most `slice` (POSIX: a blocking socket whose
// receive times out after the slice, every other call made not to wait; Windows: no, it stays
// non-blocking and the caller waits first). False when the socket stays as it was.
bool LetReceiveWait(SocketHandle handle, std::chrono::milliseconds slice);
// 0 connected, -1 with LastError() telling why (in progress, or refused).
int Connect(SocketHandle handle, const addrinfo& address);
// The outcome of a connect that was in progress: 0 connected, else the error.
int PendingError(SocketHandle handle);

// > 0 ready, 0 nothing within `milliseconds`, < 0 an error. Ready to write, or readable.
int WaitReady(SocketHandle handle, bool forWrite, int milliseconds);
// Ready to write, or readable (an answer, a close or an error waits): `readable` says which.
int WaitEither(SocketHandle handle, int milliseconds, bool& readable);
// Sends what the socket takes at once of `first` then `second`, `sent` bytes; 0, or -1 with
// LastError() telling why. A peer that has gone must not raise a signal in the host's process.
int SendTwo(SocketHandle handle, const char* first, std::size_t firstSize, const char* second,
            std::size_t secondSize, std::size_t& sent);
// recv(): > 0 bytes, 0 the peer closed, < 0 with LastError() telling why. `wait` only on a socket
// LetReceiveWait allowed it on; otherwise it never waits.
long Receive(SocketHandle handle, char* buffer, std::size_t capacity, bool wait);
// Whether nothing waits on the socket: no byte, no close, no error.
bool NothingWaiting(SocketHandle handle);
// Wakes waits on `handle` from another thread (POSIX: shutdown; Windows: nothing, the waits look
// at the cancel flag often enough).
void Interrupt(SocketHandle handle);

int LastError();
bool WouldBlock(int error);
bool Interrupted(int error);  // EINTR: call again
bool WasReset(int error);
bool ConnectInProgress(int error);

}  // namespace socket_calls
}  // namespace http
}  // namespace Osmer_Framework
