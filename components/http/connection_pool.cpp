#include "connection_pool.h"

namespace Osmer_Framework {
namespace http {

namespace {

template <class Duration>
void SetTimeouts(httplib::Client& client, const Terminal_Http_Options& options)
{
    client.set_connection_timeout(std::chrono::duration_cast<Duration>(options.connectTimeout));
    client.set_read_timeout(std::chrono::duration_cast<Duration>(options.readTimeout));
    client.set_write_timeout(std::chrono::duration_cast<Duration>(options.writeTimeout));
}

}  // namespace

ConnectionPool::ConnectionPool(const Terminal_Http_Options& options) : m_options(options) {}

std::unique_ptr<httplib::Client> ConnectionPool::OpenLocked(const ParsedUrl& url) const
{
    std::unique_ptr<httplib::Client> client;
    if (url.scheme == "http") {
        client = std::make_unique<httplib::Client>(url.host, url.port);
    } else {
        const std::string host = url.host.find(':') != std::string::npos ? "[" + url.host + "]"
                                                                         : url.host;
        client = std::make_unique<httplib::Client>(url.scheme + "://" + host + ":" +
                                                   std::to_string(url.port));
    }
    // Without TCP_NODELAY every keep-alive request waits for the peer's delayed ACK (~40 ms).
    client->set_tcp_nodelay(true);
    client->set_keep_alive(true);
    client->set_follow_location(false);
    SetTimeouts<std::chrono::microseconds>(*client, m_options);
    return client;
}

std::unique_ptr<httplib::Client> ConnectionPool::Open(const ParsedUrl& url) const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto client = OpenLocked(url);
    client->set_keep_alive(false);
    return client;
}

std::unique_ptr<httplib::Client> ConnectionPool::Acquire(const ParsedUrl& url,
                                                         const std::string& origin)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_idle.find(origin);
    if (found != m_idle.end() && !found->second.empty()) {
        auto client = std::move(found->second.back());
        found->second.pop_back();
        return client;
    }
    return OpenLocked(url);
}

void ConnectionPool::Release(const std::string& origin, std::unique_ptr<httplib::Client> connection)
{
    if (!connection || !connection->is_socket_open()) {
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    auto& idle = m_idle[origin];
    if (idle.size() < m_options.maxIdleConnectionsPerHost) {
        idle.push_back(std::move(connection));
    }
}

void ConnectionPool::SetOptions(const Terminal_Http_Options& options)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_options = options;
    m_idle.clear();
}

Terminal_Http_Options ConnectionPool::Options() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_options;
}

}  // namespace http
}  // namespace Osmer_Framework
