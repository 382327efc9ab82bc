#include "connection_pool.h"

namespace Osmer_Framework {
namespace http {

ConnectionPool::ConnectionPool(const Terminal_Http_Options& options) : m_options(options) {}

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

bool ConnectionPool::Acquire(const std::string& origin, TcpSocket& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    auto found = m_idle.find(origin);
    if (found == m_idle.end()) {
        return false;
    }
    IdleList& idle = found->second;
    while (!idle.empty()) {
        const auto picked = PickFor(idle, std::this_thread::get_id());
        TcpSocket candidate = std::move(picked->socket);
        idle.erase(picked);
        // A gateway that closed an idle connection must not cost the next request: the close is
        // seen here, before anything is sent.
        if (candidate.IdleAndOpen()) {
            connection = std::move(candidate);
            return true;
        }
    }
    return false;
}

void ConnectionPool::Release(const std::string& origin, TcpSocket connection)
{
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
