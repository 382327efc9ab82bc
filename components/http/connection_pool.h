// Keep-alive connections of one Terminal_Http_Tool, grouped by origin. A caller takes a connection
// for the length of one request, so concurrent callers never share a socket.
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
    explicit ConnectionPool(const Terminal_Http_Options& options);

    // An idle connection to `origin` that the peer has not closed, preferably the one this thread
    // gave back last. False when there is none: the caller opens a new one.
    bool Acquire(const std::string& origin, TcpSocket& connection);
    // Back to the idle set when there is room; otherwise closed.
    void Release(const std::string& origin, TcpSocket connection);

    void SetOptions(const Terminal_Http_Options& options);
    Terminal_Http_Options Options() const;

private:
    struct IdleConnection {
        TcpSocket socket;
        std::thread::id lastUser;
    };
    using IdleList = std::vector<IdleConnection>;

    static IdleList::iterator PickFor(IdleList& idle, std::thread::id self);

    mutable std::mutex m_mutex;
    Terminal_Http_Options m_options;
    std::unordered_map<std::string, IdleList> m_idle;
};

}  // namespace http
}  // namespace Osmer_Framework
