#include "test_gateway.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace vvtest {

TestGateway::TestGateway(const std::string& address, GatewayOptions options)
{
    if (options.workers > 0) {
        m_server.new_task_queue = [options] { return new httplib::ThreadPool(options.workers); };
    }
    m_server.set_keep_alive_max_count(1000000000);
    m_server.set_keep_alive_timeout(options.keepAliveSeconds);
    m_server.set_tcp_nodelay(true);
    m_server.Post(R"(/(.*))", [this](const httplib::Request& request, httplib::Response& response) {
        Handle(request, response);
    });
    // Always an ephemeral port: httplib binds with SO_REUSEPORT, so a fixed busy port would
    // start silently and share traffic with another process.
    m_port = m_server.bind_to_any_port(address);
    if (m_port <= 0) {
        throw std::runtime_error("test gateway cannot bind");
    }
    m_thread = std::thread([this] { m_server.listen_after_bind(); });
    while (!m_server.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TestGateway::~TestGateway()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_server.stop();
    m_thread.join();
}

void TestGateway::SetReply(const std::string& path, ScriptedReply reply)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_standing[path] = std::move(reply);
}

void TestGateway::QueueReply(const std::string& path, ScriptedReply reply)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_queued[path].push_back(std::move(reply));
}

void TestGateway::ReleaseHanging()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_releaseGeneration;
    }
    m_changed.notify_all();
}

void TestGateway::SetRecording(bool recording)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_recording = recording;
}

ScriptedReply TestGateway::NextReply(const std::string& path)
{
    auto queued = m_queued.find(path);
    if (queued != m_queued.end() && !queued->second.empty()) {
        ScriptedReply reply = std::move(queued->second.front());
        queued->second.pop_front();
        return reply;
    }
    auto standing = m_standing.find(path);
    return standing != m_standing.end() ? standing->second : ScriptedReply{};
}

void TestGateway::Hold(const ScriptedReply& reply, std::size_t generation)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    if (reply.hang) {
        ++m_hanging;
        m_changed.notify_all();
        m_changed.wait(lock, [&] { return m_stopping || m_releaseGeneration != generation; });
        --m_hanging;
    } else if (reply.delay.count() > 0) {
        m_changed.wait_for(lock, reply.delay, [&] { return m_stopping; });
    }
}

void TestGateway::Handle(const httplib::Request& request, httplib::Response& response)
{
    ScriptedReply reply;
    std::size_t generation = 0;  // taken with the record, so a release right after it counts
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::string path = request.path.substr(1);
        if (m_recording) {
            m_requests.push_back(
                RecordedRequest{path, request.body, request.get_header_value("Content-Type"),
                                request.remote_port, std::chrono::steady_clock::now()});
        }
        reply = NextReply(path);
        generation = m_releaseGeneration;
    }
    m_changed.notify_all();
    Hold(reply, generation);
    response.status = reply.status;
    if (reply.drop) {
        response.set_content_provider(1024, "text/plain",
                                      [](size_t, size_t, httplib::DataSink&) { return false; });
    } else if (reply.status != 204 && reply.status != 304) {  // these never carry a body
        response.set_content(reply.body, "text/plain");
    }
}

std::vector<RecordedRequest> TestGateway::Requests() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_requests;
}

std::vector<RecordedRequest> TestGateway::RequestsTo(const std::string& path) const
{
    std::vector<RecordedRequest> matching;
    std::lock_guard<std::mutex> lock(m_mutex);
    std::copy_if(m_requests.begin(), m_requests.end(), std::back_inserter(matching),
                 [&](const RecordedRequest& r) { return r.path == path; });
    return matching;
}

bool TestGateway::WaitForRequests(const std::string& path, std::size_t count,
                                  std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] {
        return std::count_if(m_requests.begin(), m_requests.end(), [&](const RecordedRequest& r) {
                   return r.path == path;
               }) >= static_cast<std::ptrdiff_t>(count);
    });
}

bool TestGateway::WaitForHanging(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_changed.wait_for(lock, timeout, [&] { return m_hanging >= count; });
}

}  // namespace vvtest
