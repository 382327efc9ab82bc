#include "sim_server.h"

#ifndef _WIN32
#include <sys/socket.h>
#endif

#include <chrono>
#include <stdexcept>

#include "body_fields.h"

namespace facepad::sim {

namespace {

constexpr std::size_t kKeepAliveRequests = 1000000;  // httplib closes after 5 by default
constexpr std::size_t kWorkerThreads = 32;  // each keep-alive connection holds one while open
constexpr char kFaultHeader[] = "X-Facepad-Sim-Fault";
constexpr char kGatewayPrefix[] = "facepad/";

// A port another process listens on is refused, never shared. POSIX: SO_REUSEADDR only, since
// httplib's default adds SO_REUSEPORT, with which a second server on a busy port binds silently and
// steals half of the other's connections. Windows: SO_EXCLUSIVEADDRUSE, since SO_REUSEADDR there
// would let it bind a busy port.
void ExclusivePortOptions(socket_t socket)
{
    int yes = 1;
#ifdef _WIN32
    setsockopt(socket, SOL_SOCKET, SO_EXCLUSIVEADDRUSE, reinterpret_cast<const char*>(&yes),
               sizeof yes);
#else
    setsockopt(socket, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
#endif
}

std::string PayloadTooLarge(const httplib::Request& request, std::size_t cap)
{
    const std::string length = request.get_header_value("Content-Length");
    return "payload too large: body of " + (length.empty() ? std::string("unknown") : length) +
           " bytes exceeds the cap of " + std::to_string(cap) + " bytes";
}

// A Content-Length must be plain decimal digits; httplib would read "-5" as a huge number and
// "abc" as nothing.
bool IsDecimalLength(const std::string& value)
{
    return !value.empty() && value.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace

SimServer::SimServer(Gateway& gateway, ServerSettings settings)
    : m_gateway(gateway),
      m_settings(std::move(settings)),
      m_faults(m_settings.faults),
      m_journal(m_settings.journalSize),
      m_api(gateway.State(), m_journal),
      m_screen(m_settings.host, m_settings.allowedHosts)
{
    Configure();
    const std::string address = m_settings.host + ":" + std::to_string(m_settings.port);
    if (m_settings.port == 0) {
        m_port = m_server.bind_to_any_port(m_settings.host);
    } else if (m_server.bind_to_port(m_settings.host, m_settings.port)) {
        m_port = m_settings.port;
    }
    if (m_port <= 0) {
        throw std::runtime_error("cannot listen on " + address +
                                 " (in use by another process, or not a local address)");
    }
}

SimServer::~SimServer()
{
    Stop();
}

void SimServer::Configure()
{
    m_server.new_task_queue = [] { return new httplib::ThreadPool(kWorkerThreads); };
    m_server.set_socket_options(&ExclusivePortOptions);
    m_server.set_keep_alive_max_count(kKeepAliveRequests);
    m_server.set_tcp_nodelay(true);
    m_server.set_payload_max_length(m_settings.payloadCap);
    ConfigureRoutes();
    ConfigureBodyFraming();
    ConfigureRefusals();
    // Runs before the answer is written, so a host that has its answer finds it in the journal.
    m_server.set_post_routing_handler(
        [this](const httplib::Request& request, httplib::Response& response) {
            RecordInJournal(request, response);
        });
    m_server.set_logger([this](const httplib::Request& request, const httplib::Response& response) {
        Log(request, response);
    });
}

void SimServer::ConfigureRoutes()
{
    // Matched in the order registered: the simulator's own paths before the catch-all.
    const auto sim = [this](const httplib::Request& request, httplib::Response& response) {
        HandleSim(request, response);
    };
    for (const char* pattern : {R"(/)", R"(/_sim/.*)"}) {
        m_server.Get(pattern, sim);
        m_server.Post(pattern, sim);
        m_server.Put(pattern, sim);
        m_server.Delete(pattern, sim);
        m_server.Patch(pattern, sim);
        m_server.Options(pattern, sim);
    }
    m_server.Post(R"(/.*)", [this](const httplib::Request& request, httplib::Response& response) {
        HandlePost(request, response);
    });
    const auto onlyPost = [this](const httplib::Request& request, httplib::Response& response) {
        if (m_screen.Refuse(request, response)) {
            return;
        }
        response.status = 405;
        response.set_header("Allow", "POST");
        response.set_content(request.method + " is not served: every endpoint takes POST",
                             "text/plain");
    };
    m_server.Get(R"(/.*)", onlyPost);
    m_server.Put(R"(/.*)", onlyPost);
    m_server.Delete(R"(/.*)", onlyPost);
    m_server.Patch(R"(/.*)", onlyPost);
    m_server.Options(R"(/.*)", onlyPost);
}

// Decided from the headers before httplib reads a body. A request without Content-Length or
// chunked encoding has no body (HTTP/1.1), but httplib would wait for one until its read time-out;
// a Content-Length that is not a number is refused rather than guessed at.
void SimServer::ConfigureBodyFraming()
{
    m_server.set_pre_routing_handler([this](const httplib::Request& request,
                                            httplib::Response& response) {
        if (request.method != "POST" || request.has_header("Transfer-Encoding")) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        if (!request.has_header("Content-Length")) {
            if (SimApi::Serves(request.path)) {
                HandleSim(request, response);
            } else {
                HandlePost(request, response);
            }
            return httplib::Server::HandlerResponse::Handled;
        }
        const std::string length = request.get_header_value("Content-Length");
        if (IsDecimalLength(length)) {
            return httplib::Server::HandlerResponse::Unhandled;
        }
        response.status = 400;
        response.set_content(
            "bad request: Content-Length must be a decimal number of bytes, got " + Quoted(length),
            "text/plain");
        return httplib::Server::HandlerResponse::Handled;
    });
}

// Refusals that httplib makes itself (oversized or unreadable requests) get a reason too.
void SimServer::ConfigureRefusals()
{
    m_server.set_error_handler(httplib::Server::HandlerWithResponse(
        [this](const httplib::Request& request, httplib::Response& response) {
            if (!response.body.empty()) {
                return httplib::Server::HandlerResponse::Unhandled;
            }
            response.set_content(
                response.status == 413
                    ? PayloadTooLarge(request, m_settings.payloadCap)
                    : "request refused with HTTP " + std::to_string(response.status),
                "text/plain");
            return httplib::Server::HandlerResponse::Handled;
        }));
}

void SimServer::Start()
{
    m_thread = std::thread([this] {
        m_server.listen_after_bind();
        m_listenEnded = true;
    });
    while (!m_server.is_running() && !m_listenEnded) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void SimServer::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopRequested = true;
    }
    m_stopping.notify_all();
    m_server.stop();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool SimServer::WaitLatency()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    ++m_delayed;
    const bool stopped =
        m_stopping.wait_for(lock, m_faults.Latency(), [this] { return m_stopRequested; });
    --m_delayed;
    return !stopped;
}

std::size_t SimServer::DelayedRequests()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_delayed;
}

// Every handler screens the request first (request_screen.h). Not before routing: the body of a
// request refused there would be left on the connection and read as the next request, in which a
// page of another site could have written one of its own.
void SimServer::HandlePost(const httplib::Request& request, httplib::Response& response)
{
    if (m_screen.Refuse(request, response)) {
        return;
    }
    const std::string path = request.path.substr(1);
    if (m_faults.Latency().count() > 0 && !WaitLatency()) {
        response.status = 503;
        response.set_content("shutting down", "text/plain");
        return;
    }
    const FaultDecision fault = m_faults.Decide(path);
    switch (fault.kind) {
    case FaultKind::StatusOverride:
        response.status = fault.status;
        response.set_header(kFaultHeader, "status override");
        response.set_content(
            "status " + std::to_string(fault.status) + " set for /" + path + " on the command line",
            "text/plain");
        return;
    case FaultKind::ServerError:
        response.status = fault.status;
        response.set_header(kFaultHeader, "server error");
        response.set_content("injected server error", "text/plain");
        return;
    case FaultKind::Drop:
        // Sends the head, then closes the connection before the promised body.
        response.set_header(kFaultHeader, "dropped connection");
        response.set_content_provider(
            64, "text/plain", [](std::size_t, std::size_t, httplib::DataSink&) { return false; });
        return;
    case FaultKind::None:
        break;
    }
    if (m_settings.front && path.rfind(kGatewayPrefix, 0) == 0) {
        const FrontAnswer answer = m_settings.front(path, request.body);
        response.status = answer.status;
        if (!answer.fault.empty()) {
            response.set_header(kFaultHeader, answer.fault);
        }
        if (answer.relayed) {
            response.set_header("Via", "1.1 facepad-gateway-sim");
        }
        response.set_content(answer.body, "text/plain");
        return;
    }
    const Reply reply = m_gateway.Handle(path, request.body);
    response.status = reply.status;
    response.set_content(reply.body, "text/plain");
}

void SimServer::HandleSim(const httplib::Request& request, httplib::Response& response)
{
    if (m_screen.Refuse(request, response)) {
        return;
    }
    const ApiReply reply = m_api.Serve(ApiRequest{request.method, request.path, request.params});
    response.status = reply.status;
    if (!reply.allow.empty()) {
        response.set_header("Allow", reply.allow);
    }
    // The page polls; a cached state would freeze it.
    response.set_header("Cache-Control", "no-store");
    response.set_content(reply.body, reply.contentType.c_str());
}

void SimServer::RecordInJournal(const httplib::Request& request, const httplib::Response& response)
{
    if (SimApi::Serves(request.path)) {
        return;
    }
    m_journal.Record(Described(request, response));
}

void SimServer::Log(const httplib::Request& request, const httplib::Response& response) const
{
    // The page polls the simulator's own paths; only its controls and refusals are worth a line.
    if (SimApi::Serves(request.path) && request.method == "GET" && response.status != 403) {
        return;
    }
    if (m_settings.log) {
        m_settings.log(FormatLogLine(Described(request, response)));
    }
}

RequestToRecord SimServer::Described(const httplib::Request& request,
                                     const httplib::Response& response)
{
    // A view of the header's value, which lives as long as the response.
    const auto fault = response.headers.find(kFaultHeader);
    return RequestToRecord{
        request.method,
        request.path,
        request.body,
        response.status,
        response.body,
        fault == response.headers.end() ? std::string_view() : std::string_view(fault->second)};
}

}  // namespace facepad::sim
