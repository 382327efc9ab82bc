#include "connection_pool.h"

#include <algorithm>
#include <iterator>

namespace Osmer_Framework {
namespace http {

namespace {

// How long an origin whose kept connection died under a request gets new connections only.
constexpr std::chrono::seconds kDistrustPeriod{30};

}  // namespace

ConnectionPool::ConnectionPool(const Terminal_Http_Options& options, Now now)
    : m_now(now), m_options(options)
{
}

void ConnectionPool::DropExpired(Clock::time_point now)
{
    m_idle.erase(std::remove_if(m_idle.begin(), m_idle.end(),
                                [now](const IdleConnection& idle) { return idle.closeBy <= now; }),
                 m_idle.end());
}

bool ConnectionPool::Distrusted(const std::string& origin, Clock::time_point now)
{
    if (m_distrustedUntil.empty()) {
        return false;  // the usual case, without hashing the origin
    }
    const auto found = m_distrustedUntil.find(origin);
    if (found == m_distrustedUntil.end()) {
        return false;
    }
    if (found->second > now) {
        return true;
    }
    m_distrustedUntil.erase(found);
    return false;
}

// A thread is handed the connection it gave back last, which keeps it on the same gateway worker:
// connections traded between threads move every thread's requests from worker to worker.
// Otherwise the most recently used one, whose socket is warmest.
ConnectionPool::IdleList::iterator ConnectionPool::PickFor(const std::string& origin)
{
    const std::thread::id self = std::this_thread::get_id();
    auto picked = m_idle.end();
    for (auto it = m_idle.begin(); it != m_idle.end(); ++it) {
        if (it->origin == origin) {
            picked = it;
            if (it->lastUser == self) {
                break;
            }
        }
    }
    return picked;
}

bool ConnectionPool::Acquire(const std::string& origin, TcpSocket& connection)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = m_now();
    DropExpired(now);
    if (Distrusted(origin, now)) {
        return false;
    }
    for (auto picked = PickFor(origin); picked != m_idle.end(); picked = PickFor(origin)) {
        TcpSocket candidate = std::move(picked->socket);
        m_spareOrigin.swap(picked->origin);
        m_idle.erase(picked);
        // A gateway that closed an idle connection must not cost the next request: the close is
        // seen here, before anything is sent. So are bytes it sent while the connection was idle.
        if (candidate.IdleAndOpen()) {
            connection = std::move(candidate);
            return true;
        }
    }
    return false;
}

void ConnectionPool::Release(const std::string& origin, TcpSocket connection,
                             Clock::duration idleLimit)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = m_now();
    const Clock::duration limit = std::min(idleLimit, Clock::duration(m_options.idleTimeout));
    // Bytes that arrive after a whole answer (a second answer, or the start of a desynchronised
    // stream) are looked for once, when the connection is taken again: one system call per request.
    if (limit <= Clock::duration::zero() || m_options.maxIdleConnections == 0 ||
        Distrusted(origin, now) || !connection.IsOpen()) {
        return;
    }
    DropExpired(now);
    if (m_idle.size() >= m_options.maxIdleConnections) {
        m_idle.erase(m_idle.begin());
    }
    m_spareOrigin.assign(origin);
    m_idle.push_back(IdleConnection{std::move(connection), std::move(m_spareOrigin),
                                    std::this_thread::get_id(), now + limit});
}

void ConnectionPool::Distrust(const std::string& origin)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    const auto now = m_now();
    for (auto it = m_distrustedUntil.begin(); it != m_distrustedUntil.end();) {
        it = it->second <= now ? m_distrustedUntil.erase(it) : std::next(it);
    }
    m_distrustedUntil[origin] = now + kDistrustPeriod;
    m_idle.erase(
        std::remove_if(m_idle.begin(), m_idle.end(),
                       [&origin](const IdleConnection& idle) { return idle.origin == origin; }),
        m_idle.end());
}

void ConnectionPool::DropAllBut(const std::string& origin)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_idle.erase(
        std::remove_if(m_idle.begin(), m_idle.end(),
                       [&origin](const IdleConnection& idle) { return idle.origin != origin; }),
        m_idle.end());
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
