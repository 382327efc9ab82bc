#include "tcp_socket.h"

#include <algorithm>
#include <limits>
#include <utility>

#include "name_resolver.h"
#include "socket_calls.h"

namespace Osmer_Framework {
namespace http {

namespace {

namespace calls = socket_calls;

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
        if (ready < 0 && !calls::Interrupted(calls::LastError())) {
            return IoStatus::Failed;
        }
    }
}

// Waits until the socket is ready to read (or to write), the deadline passes or the cancel flag
// rises.
IoStatus WaitFor(SocketHandle handle, bool forWrite, Deadline deadline, CancelSignal* cancel)
{
    return WaitUntilReady(deadline, cancel, [handle, forWrite](int milliseconds) {
        return calls::WaitReady(handle, forWrite, milliseconds);
    });
}

IoStatus UnlessCancelled(CancelSignal* cancel)
{
    return cancel != nullptr && cancel->Raised() ? IoStatus::Cancelled : IoStatus::Done;
}

IoStatus StatusOfError(int error)
{
    return calls::WasReset(error) ? IoStatus::Reset : IoStatus::Failed;
}

// One address: Done with the socket connected, Refused or Timeout to try the next, or why to stop.
IoStatus ConnectTo(const addrinfo& address, Deadline deadline, CancelSignal* cancel,
                   SocketHandle handle)
{
    if (!calls::Prepare(handle)) {
        return IoStatus::Failed;
    }
    if (calls::Connect(handle, address) == 0) {
        return IoStatus::Done;
    }
    if (!calls::ConnectInProgress(calls::LastError())) {
        return IoStatus::Refused;
    }
    const IoStatus waited = WaitFor(handle, true, deadline, cancel);
    if (waited != IoStatus::Done) {
        return waited;
    }
    return calls::PendingError(handle) == 0 ? IoStatus::Done : IoStatus::Refused;
}

std::size_t Count(const addrinfo* addresses)
{
    std::size_t count = 0;
    for (; addresses != nullptr; addresses = addresses->ai_next) {
        ++count;
    }
    return count;
}

}  // namespace

Deadline ConnectDeadline(Clock::time_point now, Deadline deadline,
                         std::chrono::milliseconds connectTimeout, std::size_t addressesLeft)
{
    if (now >= deadline) {
        return deadline;
    }
    const auto evenShare =
        (deadline - now) / static_cast<Clock::rep>(std::max<std::size_t>(addressesLeft, 1));
    return now + std::min<Clock::duration>(evenShare, connectTimeout);
}

SocketHandle TcpSocket::InvalidHandle()
{
    return calls::Invalid();
}

TcpSocket::~TcpSocket()
{
    Close();
}

TcpSocket::TcpSocket(TcpSocket&& other) noexcept
    : m_handle(other.m_handle), m_receiveWaits(other.m_receiveWaits)
{
    other.m_handle = InvalidHandle();
}

TcpSocket& TcpSocket::operator=(TcpSocket&& other) noexcept
{
    if (this != &other) {
        Close();
        m_handle = other.m_handle;
        m_receiveWaits = other.m_receiveWaits;
        other.m_handle = InvalidHandle();
    }
    return *this;
}

void TcpSocket::Close()
{
    if (m_handle != InvalidHandle()) {
        calls::Close(m_handle);
        m_handle = InvalidHandle();
    }
}

bool TcpSocket::IsOpen() const
{
    return m_handle != InvalidHandle();
}

IoStatus TcpSocket::ConnectToOne(const addrinfo& address, Deadline deadline, CancelSignal* cancel,
                                 TcpSocket& connected)
{
    TcpSocket candidate(calls::NewStream(address.ai_family));
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
        candidate.m_receiveWaits = calls::LetReceiveWait(candidate.m_handle, kCancelSlice);
        connected = std::move(candidate);
    }
    return status;
}

IoStatus TcpSocket::Connect(const std::string& host, int port, const ConnectLimits& limits,
                            CancelSignal* cancel, TcpSocket& connected, std::string& why)
{
    calls::EnsureStarted();
    const Resolution resolved = ResolveHost(host, port, limits.deadline, cancel);
    if (resolved.status != ResolveStatus::Resolved) {
        why = resolved.reason;
        return resolved.status == ResolveStatus::Cancelled ? IoStatus::Cancelled
                                                           : IoStatus::Unresolved;
    }
    std::size_t left = Count(resolved.addresses.get());
    bool timedOut = false;
    for (const addrinfo* address = resolved.addresses.get();
         address != nullptr && Clock::now() < limits.deadline; address = address->ai_next, --left) {
        const Deadline connectBy =
            ConnectDeadline(Clock::now(), limits.deadline, limits.connectTimeout, left);
        const IoStatus status = ConnectToOne(*address, connectBy, cancel, connected);
        if (status == IoStatus::Done || status == IoStatus::Cancelled) {
            return status;
        }
        timedOut = timedOut || status == IoStatus::Timeout;
    }
    return timedOut || Clock::now() >= limits.deadline ? IoStatus::Timeout : IoStatus::Refused;
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
        if (calls::SendTwo(m_handle, head, headSize, second.data() + bodyOffset,
                           second.size() - bodyOffset, sent) == 0) {
            offset += sent;
            continue;
        }
        const int error = calls::LastError();
        if (calls::Interrupted(error)) {
            continue;
        }
        return calls::WouldBlock(error) ? IoStatus::Done : StatusOfError(error);
    }
    return IoStatus::Done;
}

IoStatus TcpSocket::WaitToSend(Deadline deadline, CancelSignal* cancel, bool& readable)
{
    const SocketHandle handle = m_handle;
    return WaitUntilReady(deadline, cancel, [handle, &readable](int milliseconds) {
        return calls::WaitEither(handle, milliseconds, readable);
    });
}

// While the deadline is a slice or more away, a socket that may wait in its receive (POSIX) is not
// waited on first: its receive gives up after a slice and the loop asks again, and a wait before
// every receive cost a system call per request. Closer to the deadline, and on Windows, the wait
// comes first and ends exactly at the deadline.
IoStatus TcpSocket::ReceiveSome(char* buffer, std::size_t capacity, Deadline deadline,
                                CancelSignal* cancel, std::size_t& received, Clock::time_point now)
{
    received = 0;
    for (bool first = true;; first = false) {
        const bool waitInReceive =
            m_receiveWaits && (first ? now : Clock::now()) + kCancelSlice <= deadline;
        const IoStatus ready =
            waitInReceive ? UnlessCancelled(cancel) : WaitFor(m_handle, false, deadline, cancel);
        if (ready != IoStatus::Done) {
            return ready;
        }
        const long count = calls::Receive(m_handle, buffer, capacity, waitInReceive);
        if (count > 0) {
            received = static_cast<std::size_t>(count);
            return IoStatus::Done;
        }
        if (count == 0) {
            return IoStatus::Closed;
        }
        const int error = calls::LastError();
        if (!calls::WouldBlock(error) && !calls::Interrupted(error)) {
            return StatusOfError(error);
        }
    }
}

bool TcpSocket::IdleAndOpen() const
{
    return IsOpen() && calls::NothingWaiting(m_handle);
}

void InterruptWaits(SocketHandle socket)
{
    calls::Interrupt(socket);
}

}  // namespace http
}  // namespace Osmer_Framework
