#include "Terminal_Http_Tool.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <utility>

#include "connection_pool.h"
#include "http_exchange.h"
#include "post_target.h"
#include "tcp_socket.h"
#include "thread_outcome.h"

namespace Osmer_Framework {

// ---- cancellation -------------------------------------------------------------------------------

struct Terminal_Http_Cancel::State final : http::CancelSignal {
    bool Raised() const override { return cancelled.load(std::memory_order_acquire); }

    void Attach(http::SocketHandle socket) override
    {
        std::lock_guard<std::mutex> lock(mutex);
        attached = socket;
        hasAttached = true;
    }

    void Detach() override
    {
        std::lock_guard<std::mutex> lock(mutex);
        hasAttached = false;
    }

    // The socket is detached before it closes, under the same lock, so the one interrupted here
    // is still the request's own.
    void Raise()
    {
        std::lock_guard<std::mutex> lock(mutex);
        cancelled.store(true, std::memory_order_release);
        if (hasAttached) {
            http::InterruptWaits(attached);
        }
    }

    std::mutex mutex;
    std::atomic<bool> cancelled{false};
    http::SocketHandle attached{};
    bool hasAttached = false;
};

Terminal_Http_Cancel::Terminal_Http_Cancel() : m_pState(std::make_unique<State>()) {}
Terminal_Http_Cancel::~Terminal_Http_Cancel() = default;

void Terminal_Http_Cancel::Cancel()
{
    m_pState->Raise();
}

void Terminal_Http_Cancel::Reset()
{
    m_pState->cancelled.store(false, std::memory_order_release);
}

const char* Terminal_Http_ErrorName(Terminal_Http_Error error)
{
    switch (error) {
    case Terminal_Http_Error::None:
        return "none";
    case Terminal_Http_Error::InvalidUrl:
        return "invalid URL";
    case Terminal_Http_Error::Connect:
        return "cannot connect";
    case Terminal_Http_Error::Timeout:
        return "timed out";
    case Terminal_Http_Error::Transport:
        return "connection broken";
    case Terminal_Http_Error::ReplyTooLarge:
        return "reply too large";
    case Terminal_Http_Error::Cancelled:
        return "cancelled";
    case Terminal_Http_Error::BadReply:
        return "malformed reply";
    case Terminal_Http_Error::Resolve:
        return "cannot resolve";
    }
    return "unknown";
}

// ---- the client ---------------------------------------------------------------------------------

class Terminal_Http_Tool::Impl {
public:
    explicit Impl(const Terminal_Http_Options& options) : m_id(http::NewClientId()), m_pool(options)
    {
    }

    Terminal_Http_Result Post(const std::string& url, const std::string& body, std::string& reply,
                              const Terminal_Http_Call& call)
    {
        reply.clear();
        http::PostTarget* target = http::TargetFor(url);
        if (target == nullptr) {
            return ResultOf(Failed(Terminal_Http_Error::InvalidUrl), std::string());
        }
        std::string detail;
        Attempt attempt{*target,
                        target->RequestHead(body.size(), call.freshConnection),
                        body,
                        reply,
                        call.keepReplyBytes,
                        m_pool.Options(),
                        call.cancel != nullptr ? call.cancel->m_pState.get() : nullptr,
                        detail};
        // A resend keeps this deadline: the caller was promised one bound for the whole call.
        const http::Deadline deadline = http::Clock::now() + attempt.options.totalTimeout;
        http::TcpSocket socket;
        const bool reused = !call.freshConnection && m_pool.Acquire(target->origin, socket);
        http::ExchangeOutcome outcome = attempt.Run(deadline, reused, socket);
        if (MayResend(outcome, reused)) {
            socket = http::TcpSocket();
            outcome = attempt.Run(deadline, false, socket);
        } else if (reused && outcome.requestWritten && !outcome.answerStarted &&
                   outcome.error == Terminal_Http_Error::Transport) {
            // A kept connection died under the request without a byte of an answer: the
            // gateway closes kept connections early.
            m_pool.Distrust(target->origin);
        }
        if (outcome.error == Terminal_Http_Error::None && outcome.keepAlive &&
            !call.freshConnection) {
            m_pool.Release(target->origin, std::move(socket), IdleLimit(outcome));
        }
        return ResultOf(outcome, std::move(detail));
    }

    int LastStatus() const { return http::LoadStatus(m_id); }
    void KeepStatus(int status) const { http::StoreStatus(m_id, status); }
    http::ConnectionPool& Pool() { return m_pool; }

private:
    // The request and what stays the same between its first attempt and a resend.
    struct Attempt {
        const http::PostTarget& target;
        const std::string& head;  // the target's, until this thread's next request
        const std::string& body;
        std::string& reply;
        const std::size_t keepReplyBytes;
        const Terminal_Http_Options options;
        http::CancelSignal* const cancel;
        std::string& detail;  // the words on a connection that could not be made

        // A socket whose wait a cancel cut short fails like a broken one: say why it really
        // failed.
        http::ExchangeOutcome Run(http::Deadline deadline, bool connected,
                                  http::TcpSocket& socket) const
        {
            if (Cancelled()) {
                return Failed(Terminal_Http_Error::Cancelled);
            }
            http::ExchangeOutcome outcome = RunOnce(deadline, connected, socket);
            if (outcome.error != Terminal_Http_Error::None && Cancelled()) {
                outcome.error = Terminal_Http_Error::Cancelled;
                outcome.status = 0;
            }
            return outcome;
        }

        bool Cancelled() const { return cancel != nullptr && cancel->Raised(); }

        http::ExchangeOutcome RunOnce(http::Deadline deadline, bool connected,
                                      http::TcpSocket& socket) const
        {
            if (!connected) {
                const http::IoStatus status = http::TcpSocket::Connect(
                    target.url.host, target.url.port,
                    http::ConnectLimits{options.connectTimeout, deadline}, cancel, socket, detail);
                if (status != http::IoStatus::Done) {
                    return Failed(http::ErrorOf(status));
                }
            }
            if (cancel != nullptr) {
                cancel->Attach(socket.Handle());
            }
            http::ExchangeOutcome outcome = http::Exchange(
                socket, head, body, reply, keepReplyBytes, options, deadline, cancel);
            if (cancel != nullptr) {
                cancel->Detach();
            }
            return outcome;
        }
    };

    static http::ExchangeOutcome Failed(Terminal_Http_Error error)
    {
        http::ExchangeOutcome outcome;
        outcome.error = error;
        return outcome;
    }

    // Once, and only when the gateway cannot have acted on the request: not one byte of it went
    // out (the kept connection turned out closed or reset), or a kept connection answered 408,
    // which says the request was not processed.
    static bool MayResend(const http::ExchangeOutcome& outcome, bool reused)
    {
        const bool notSent =
            !outcome.requestWritten && outcome.error == Terminal_Http_Error::Transport;
        const bool timedOutWhileIdle =
            reused && outcome.error == Terminal_Http_Error::None && outcome.status == 408;
        return notSent || timedOutWhileIdle;
    }

    // Short of the gateway's own idle time-out by a second (by half of it when it is shorter), so
    // that a reuse never races the gateway's close.
    static http::Clock::duration IdleLimit(const http::ExchangeOutcome& outcome)
    {
        constexpr long kLongerThanAnyLimit = 24 * 3600;  // and no overflow in nanoseconds
        if (outcome.keepAliveTimeout < 0 || outcome.keepAliveTimeout > kLongerThanAnyLimit) {
            return http::Clock::duration::max();
        }
        const std::chrono::milliseconds timeout = std::chrono::seconds(outcome.keepAliveTimeout);
        return timeout - std::min(timeout / 2, std::chrono::milliseconds(1000));
    }

    static Terminal_Http_Result ResultOf(const http::ExchangeOutcome& outcome, std::string detail)
    {
        Terminal_Http_Result result;
        result.error = outcome.error;
        result.status = outcome.error == Terminal_Http_Error::None ? outcome.status : 0;
        result.written = outcome.requestWritten;
        result.detail = std::move(detail);
        return result;
    }

    const std::uint64_t m_id;
    http::ConnectionPool m_pool;
};

Terminal_Http_Tool::Terminal_Http_Tool() : Terminal_Http_Tool(Terminal_Http_Options{}) {}

Terminal_Http_Tool::Terminal_Http_Tool(const Terminal_Http_Options& _options)
    : m_pImpl(std::make_unique<Impl>(_options))
{
}

Terminal_Http_Tool::~Terminal_Http_Tool() = default;

Terminal_Http_Tool::Terminal_Http_Tool(const Terminal_Http_Tool& _other)
    : m_pImpl(std::make_unique<Impl>(_other.GetOptions()))
{
}

Terminal_Http_Tool& Terminal_Http_Tool::operator=(const Terminal_Http_Tool& _other)
{
    if (this != &_other) {
        m_pImpl = std::make_unique<Impl>(_other.GetOptions());
    }
    return *this;
}

// The moved-from client stays usable: it gets a fresh pool with the same options.
Terminal_Http_Tool::Terminal_Http_Tool(Terminal_Http_Tool&& _other)
    : m_pImpl(std::make_unique<Impl>(_other.GetOptions()))
{
    std::swap(m_pImpl, _other.m_pImpl);
}

Terminal_Http_Tool& Terminal_Http_Tool::operator=(Terminal_Http_Tool&& _other)
{
    std::swap(m_pImpl, _other.m_pImpl);
    return *this;
}

Terminal_Http_Result Terminal_Http_Tool::HttpPost(const std::string& _strUrl,
                                                  const std::string& _strBody,
                                                  std::string& _strReply,
                                                  const Terminal_Http_Call& _call)
{
    return m_pImpl->Post(_strUrl, _strBody, _strReply, _call);
}

bool Terminal_Http_Tool::HttpPostRequest(const std::string& _strUrl, const std::string& _strBody,
                                         std::string& _strReply, bool _bFreshConnection)
{
    Terminal_Http_Call call;
    call.freshConnection = _bFreshConnection;
    const Terminal_Http_Result result = m_pImpl->Post(_strUrl, _strBody, _strReply, call);
    m_pImpl->KeepStatus(result.status);
    return result.Answered();
}

std::string Terminal_Http_Tool::GetLastPostStatus() const
{
    const int status = m_pImpl->LastStatus();
    return status != 0 ? std::to_string(status) : std::string();
}

void Terminal_Http_Tool::CloseIdleConnectionsExcept(const std::string& _strUrl)
{
    const http::PostTarget* target = http::TargetFor(_strUrl);
    m_pImpl->Pool().DropAllBut(target != nullptr ? target->origin : std::string());
}

void Terminal_Http_Tool::SetOptions(const Terminal_Http_Options& _options)
{
    m_pImpl->Pool().SetOptions(_options);
}

Terminal_Http_Options Terminal_Http_Tool::GetOptions() const
{
    return m_pImpl->Pool().Options();
}

}  // namespace Osmer_Framework
