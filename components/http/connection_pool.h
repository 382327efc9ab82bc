// Keep-alive connections of one Terminal_Http_Tool. A caller takes a connection for the length of
// one request, so concurrent callers never share a socket. Only connections that cannot be closing
// are handed out: none past its idle limit, none with bytes waiting, none to an origin that lately
// let a kept connection die under a request.
#pragma once

#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Terminal_Http_Tool.h"
#include "tcp_socket.h"

namespace Osmer_Framework {
namespace http {

class ConnectionPool {
public:
    using Now = Clock::time_point (*)();
    // `now` tells the time the pool's limits count in (a test's clock can skip ahead).
    explicit ConnectionPool(const Terminal_Http_Options& options, Now now = &Clock::now);

    // An idle connection to `origin` that the peer has not closed, preferably the one this thread
    // gave back last. False when there is none: the caller opens a new one.
    bool Acquire(const std::string& origin, TcpSocket& connection);
    // Back to the idle set for at most `idleLimit` (after the options' own limit); closed instead
    // when bytes nobody asked for wait on it or the origin is distrusted. The least recently used
    // idle connection makes room when the set is full.
    void Release(const std::string& origin, TcpSocket connection, Clock::duration idleLimit);
    // A kept connection to `origin` died under a request: the gateway closes kept connections
    // early, so none to it is kept or reused for a while.
    void Distrust(const std::string& origin);
    // Closes every idle connection whose origin is not `origin`.
    void DropAllBut(const std::string& origin);

    void SetOptions(const Terminal_Http_Options& options);
    Terminal_Http_Options Options() const;

private:
    struct IdleConnection {
        TcpSocket socket;
        std::string origin;
        std::thread::id lastUser;
        Clock::time_point closeBy;  // no reuse from then on
    };
    using IdleList = std::vector<IdleConnection>;  // least recently released first

    void DropExpired(Clock::time_point now);
    bool Distrusted(const std::string& origin, Clock::time_point now);
    IdleList::iterator PickFor(const std::string& origin);

    const Now m_now;
    mutable std::mutex m_mutex;
    Terminal_Http_Options m_options;
    IdleList m_idle;
    // The origin text of the connection taken last, kept for the next one given back: its copy
    // then needs no allocation per request.
    std::string m_spareOrigin;
    std::unordered_map<std::string, Clock::time_point> m_distrustedUntil;
};

}  // namespace http
}  // namespace Osmer_Framework
