#include "loopback_gateway.h"

#include <stdexcept>

namespace vvbench {

namespace {
// Every keep-alive connection holds one server worker while it is open. The figures keep up to a
// dozen connections open at once (adapter pool, bare clients, the polling thread); cpp-httplib's
// default of 8 workers would queue the rest behind a 5 s keep-alive time-out.
constexpr std::size_t kServerWorkers = 32;
}  // namespace

LoopbackGateway::LoopbackGateway(int keepAliveSeconds)
{
    m_replies["facepad/getresult"] = Reply{200, "result=[]", false};
    m_server.new_task_queue = [] { return new httplib::ThreadPool(kServerWorkers); };
    m_server.set_keep_alive_max_count(1000000000);
    // cpp-httplib's server checks an idle keep-alive connection about 90 times a second. Idle
    // connections of the side that is not being measured would wake it that often, so by default
    // they are closed after a second; a client reconnects on its next request.
    m_server.set_keep_alive_timeout(keepAliveSeconds);
    m_server.set_tcp_nodelay(true);
    m_server.set_payload_max_length(64u * 1024u * 1024u);
    m_server.Post(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    });
    m_port = m_server.bind_to_any_port("127.0.0.1");
    if (m_port <= 0) {
        throw std::runtime_error("loopback gateway cannot bind");
    }
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

LoopbackGateway::~LoopbackGateway()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_released.notify_all();
    m_server.stop();
    m_thread.join();
}

std::string LoopbackGateway::Origin() const
{
    return "http://127.0.0.1:" + std::to_string(m_port);
}

void LoopbackGateway::SetReply(const std::string& path, int status, const std::string& body)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    Reply& reply = m_replies[path];
    reply.status = status;
    reply.body = body;
}

void LoopbackGateway::SetHanging(const std::string& path, bool hanging)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_replies[path].hang = hanging;
}

void LoopbackGateway::ReleaseHanging()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_releaseGeneration;
    }
    m_released.notify_all();
}

std::size_t LoopbackGateway::HangingNow() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_hanging;
}

void LoopbackGateway::SetRecording(bool recording)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recording = recording;
}

std::string LoopbackGateway::LastBody(const std::string& path) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto found = m_lastBodies.find(path);
    return found != m_lastBodies.end() ? found->second : std::string();
}

// The path arrives with its leading "/"; replies are keyed without it.
LoopbackGateway::Reply LoopbackGateway::ReplyFor(const httplib::Request& request)
{
    const std::string path = request.path.substr(1);
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_recording) {
        m_lastBodies[path] = request.body;
    }
    const auto found = m_replies.find(path);
    return found != m_replies.end() ? found->second : Reply{};
}

void LoopbackGateway::Hang()
{
    std::unique_lock<std::mutex> lock(m_mutex);
    const std::size_t generation = m_releaseGeneration;
    ++m_hanging;
    m_released.wait(lock, [&] { return m_stopping || m_releaseGeneration != generation; });
    --m_hanging;
}

void LoopbackGateway::Handle(const httplib::Request& request, httplib::Response& response)
{
    const Reply reply = ReplyFor(request);
    if (reply.hang) {
        Hang();
    }
    response.status = reply.status;
    response.set_content(reply.body, "text/plain");
    m_served.fetch_add(1, std::memory_order_relaxed);
}

}  // namespace vvbench
