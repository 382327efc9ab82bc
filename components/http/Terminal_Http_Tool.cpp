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

    bool Post(const std::string& url, const std::string& body, std::string& reply, bool fresh,
              http::CancelSignal* cancel)
    {
        reply.clear();
        const http::PostTarget* target = http::TargetFor(url);
        if (target == nullptr) {
            return Finish(http::ExchangeOutcome{Terminal_Http_Error::InvalidUrl, 0, false, false});
        }
        const Terminal_Http_Options options = m_pool.Options();
        const http::Deadline deadline = http::Clock::now() + options.totalTimeout;
        const std::string head = target->RequestHead(body.size(), fresh);
        http::TcpSocket socket;
        std::string detail;
        bool reused = !fresh && m_pool.Acquire(target->origin, socket);
        http::ExchangeOutcome outcome =
            Attempt(*target, head, body, reply, options, deadline, cancel, reused, socket, detail);
        if (reused && outcome.neverRead) {
            // The gateway closed the kept connection as the request went out and never read it.
            socket = http::TcpSocket();
            outcome = Attempt(*target, head, body, reply, options, deadline, cancel, false, socket,
                              detail);
        }
        if (outcome.error == Terminal_Http_Error::None && outcome.keepAlive && !fresh) {
            m_pool.Release(target->origin, std::move(socket));
        }
        return Finish(outcome, std::move(detail));
    }

    const http::PostOutcome& LastOutcome() const { return http::LoadOutcome(m_id); }
    http::ConnectionPool& Pool() { return m_pool; }

private:
    // A socket whose wait a cancel cut short fails like a broken one: say why it really failed.
    // `detail` gets the words on a connection that could not be made.
    static http::ExchangeOutcome Attempt(const http::PostTarget& target, const std::string& head,
                                         const std::string& body, std::string& reply,
                                         const Terminal_Http_Options& options,
                                         http::Deadline deadline, http::CancelSignal* cancel,
                                         bool connected, http::TcpSocket& socket,
                                         std::string& detail)
    {
        if (cancel != nullptr && cancel->Raised()) {
            return http::ExchangeOutcome{Terminal_Http_Error::Cancelled, 0, false, false};
        }
        http::ExchangeOutcome outcome = AttemptOnce(target, head, body, reply, options, deadline,
                                                    cancel, connected, socket, detail);
        if (outcome.error != Terminal_Http_Error::None && cancel != nullptr && cancel->Raised()) {
            outcome = http::ExchangeOutcome{Terminal_Http_Error::Cancelled, 0, false, false};
        }
        return outcome;
    }

    static http::ExchangeOutcome AttemptOnce(
        const http::PostTarget& target, const std::string& head, const std::string& body,
        std::string& reply, const Terminal_Http_Options& options, http::Deadline deadline,
        http::CancelSignal* cancel, bool connected, http::TcpSocket& socket, std::string& detail)
    {
        if (!connected) {
            const http::IoStatus status = http::TcpSocket::Connect(
                target.url.host, target.url.port,
                http::ConnectLimits{options.connectTimeout, deadline}, cancel, socket, detail);
            if (status != http::IoStatus::Done) {
                return http::ExchangeOutcome{http::ErrorOf(status), 0, false, false};
            }
        }
        if (cancel != nullptr) {
            cancel->Attach(socket.Handle());
        }
        http::ExchangeOutcome outcome =
            http::Exchange(socket, head, body, reply, options, deadline, cancel);
        if (cancel != nullptr) {
            cancel->Detach();
        }
        return outcome;
    }

    bool Finish(const http::ExchangeOutcome& outcome, std::string detail = std::string())
    {
        const bool answered = outcome.error == Terminal_Http_Error::None;
        http::StoreOutcome(m_id, http::PostOutcome{answered ? std::to_string(outcome.status) : "",
                                                   outcome.error, std::move(detail)});
        return answered;
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

bool Terminal_Http_Tool::HttpPostRequest(const std::string& _strUrl, const std::string& _strBody,
                                         std::string& _strReply, bool _bFreshConnection)
{
    return m_pImpl->Post(_strUrl, _strBody, _strReply, _bFreshConnection, nullptr);
}

bool Terminal_Http_Tool::HttpPostRequest(const std::string& _strUrl, const std::string& _strBody,
                                         std::string& _strReply, bool _bFreshConnection,
                                         Terminal_Http_Cancel& _cancel)
{
    return m_pImpl->Post(_strUrl, _strBody, _strReply, _bFreshConnection, _cancel.m_pState.get());
}

std::string Terminal_Http_Tool::GetLastPostStatus() const
{
    return m_pImpl->LastOutcome().status;
}

Terminal_Http_Error Terminal_Http_Tool::GetLastPostError() const
{
    return m_pImpl->LastOutcome().error;
}

std::string Terminal_Http_Tool::GetLastPostDetail() const
{
    return m_pImpl->LastOutcome().detail;
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
