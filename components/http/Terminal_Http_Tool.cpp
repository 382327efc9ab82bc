#include "Terminal_Http_Tool.h"

#include <cstdlib>
#include <functional>
#include <mutex>
#include <utility>

#include "connection_pool.h"
#include "http_url.h"
#include "post_request.h"
#include "post_target.h"
#include "thread_outcome.h"

namespace Osmer_Framework {

// ---- cancellation -------------------------------------------------------------------------------

struct Terminal_Http_Cancel::State {
    std::mutex mutex;
    bool cancelled = false;
    httplib::Client* inFlight = nullptr;  // the connection to shut down on Cancel()
};

Terminal_Http_Cancel::Terminal_Http_Cancel() : m_pState(std::make_unique<State>()) {}
Terminal_Http_Cancel::~Terminal_Http_Cancel() = default;

namespace {

// After stop(): on Linux the shutdown itself wakes a thread blocked in poll() or recv(). Winsock
// wakes no select() for a local shutdown, and the socket is httplib's to close, so the wait
// pending on it is cancelled instead and the request fails at once. stop() leaves the socket of a
// request in flight open, so the handle is still that request's; only a request that ends on its
// own in this very instant closes it first, and the cancel then goes to a stale handle value.
void AbortPendingWait(httplib::Client& client)
{
#ifdef _WIN32
    const auto socket = client.socket();
    if (socket != INVALID_SOCKET) {
        CancelIoEx(reinterpret_cast<HANDLE>(socket), nullptr);
    }
#else
    (void)client;
#endif
}

}  // namespace

void Terminal_Http_Cancel::Cancel()
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->cancelled = true;
    if (m_pState->inFlight != nullptr) {
        m_pState->inFlight->stop();  // shuts the socket down; the blocked read returns at once
        AbortPendingWait(*m_pState->inFlight);
    }
}

void Terminal_Http_Cancel::Reset()
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    m_pState->cancelled = false;
}

bool Terminal_Http_Cancel::IsCancelled() const
{
    std::lock_guard<std::mutex> lock(m_pState->mutex);
    return m_pState->cancelled;
}

namespace {

// Registers the connection with the token for the length of one request.
class CancelScope {
public:
    CancelScope(Terminal_Http_Cancel::State* state, httplib::Client* client) : m_state(state)
    {
        if (m_state != nullptr) {
            std::lock_guard<std::mutex> lock(m_state->mutex);
            m_cancelledBefore = m_state->cancelled;
            m_state->inFlight = client;
        }
    }
    ~CancelScope()
    {
        if (m_state != nullptr) {
            std::lock_guard<std::mutex> lock(m_state->mutex);
            m_state->inFlight = nullptr;
        }
    }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

    bool CancelledBefore() const { return m_cancelledBefore; }
    bool Cancelled() const
    {
        if (m_state == nullptr) {
            return false;
        }
        std::lock_guard<std::mutex> lock(m_state->mutex);
        return m_state->cancelled;
    }

private:
    Terminal_Http_Cancel::State* m_state;
    bool m_cancelledBefore = false;
};

Terminal_Http_Error ErrorKind(httplib::Error error)
{
    switch (error) {
    case httplib::Error::Success:
        return Terminal_Http_Error::None;
    case httplib::Error::Connection:
    case httplib::Error::BindIPAddress:
    case httplib::Error::SSLConnection:
    case httplib::Error::SSLLoadingCerts:
    case httplib::Error::SSLServerVerification:
        return Terminal_Http_Error::Connect;
    case httplib::Error::ConnectionTimeout:
        return Terminal_Http_Error::Timeout;
    case httplib::Error::Canceled:
        return Terminal_Http_Error::Cancelled;
    default:
        return Terminal_Http_Error::Transport;
    }
}

}  // namespace

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
              Terminal_Http_Cancel::State* cancel)
    {
        reply.clear();
        const http::PostTarget* target = http::TargetFor(url);
        if (target == nullptr) {
            return Finish(Terminal_Http_Error::InvalidUrl, "");
        }
        auto connection =
            fresh ? m_pool.Open(target->url) : m_pool.Acquire(target->url, target->origin);
        http::PostOutcome outcome = Send(*connection, target->url, body, reply, cancel);
        if (outcome.error == Terminal_Http_Error::None && !fresh) {
            m_pool.Release(target->origin, std::move(connection));
        }
        const bool answered = outcome.error == Terminal_Http_Error::None;
        http::StoreOutcome(m_id, std::move(outcome));
        return answered;
    }

    http::PostOutcome LastOutcome() const { return http::LoadOutcome(m_id); }
    http::ConnectionPool& Pool() { return m_pool; }

private:
    bool Finish(Terminal_Http_Error error, std::string status)
    {
        http::StoreOutcome(m_id, http::PostOutcome{std::move(status), error});
        return error == Terminal_Http_Error::None;
    }

    http::PostOutcome Send(httplib::Client& connection, const http::ParsedUrl& url,
                           const std::string& body, std::string& reply,
                           Terminal_Http_Cancel::State* cancel)
    {
        http::ReplySink sink{&reply, m_pool.Options().maxReplyBytes};
        httplib::Request request;
        http::PreparePost(request, url.path, body, sink);

        CancelScope scope(cancel, &connection);
        if (scope.CancelledBefore()) {
            return http::PostOutcome{"", Terminal_Http_Error::Cancelled};
        }
        httplib::Response response;
        httplib::Error error = httplib::Error::Success;
        const bool sent = connection.send(request, response, error);
        if (sent) {
            return http::PostOutcome{std::to_string(response.status), Terminal_Http_Error::None};
        }
        reply.clear();
        if (sink.tooLarge) {
            return http::PostOutcome{"", Terminal_Http_Error::ReplyTooLarge};
        }
        if (scope.Cancelled()) {
            return http::PostOutcome{"", Terminal_Http_Error::Cancelled};
        }
        return http::PostOutcome{"", ErrorKind(error)};
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

void Terminal_Http_Tool::SetOptions(const Terminal_Http_Options& _options)
{
    m_pImpl->Pool().SetOptions(_options);
}

Terminal_Http_Options Terminal_Http_Tool::GetOptions() const
{
    return m_pImpl->Pool().Options();
}

}  // namespace Osmer_Framework
