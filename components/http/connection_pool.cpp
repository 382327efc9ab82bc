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
        const std::string host =
            url.host.find(':') != std::string::npos ? "[" + url.host + "]" : url.host;
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

// Threads that keep to their own connection keep to the same gateway worker too: with several host
// threads on one client, handing each the connection another thread used last cost a fifth of the
// throughput on two cores. Otherwise the most recently used one, whose socket is warmest.
ConnectionPool::IdleList::iterator ConnectionPool::PickFor(IdleList& idle, std::thread::id self)
{
    for (auto it = idle.begin(); it != idle.end(); ++it) {
        if (it->lastUser == self) {
            return it;
        }
    }
    return idle.end() - 1;
}

std::unique_ptr<httplib::Client> ConnectionPool::Acquire(const ParsedUrl& url,
                                                         const std::string& origin)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_idle.find(origin);
    if (found != m_idle.end() && !found->second.empty()) {
        IdleList& idle = found->second;
        const auto picked = PickFor(idle, std::this_thread::get_id());
        auto client = std::move(picked->client);
        idle.erase(picked);
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
        idle.push_back(IdleConnection{std::move(connection), std::this_thread::get_id()});
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
