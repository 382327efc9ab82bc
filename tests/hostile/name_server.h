// The resolver tests' name server, on the address private_resolver names in resolv.conf and
// VV_PRIVATE_NAMESERVER: "no such name" for a first label "nowhere", silence for any other.
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>
#include <thread>

#include "raw_socket.h"

namespace vvtest {

class NameServer {
public:
    // Null when the process was not started through private_resolver.
    static std::unique_ptr<NameServer> Start();
    ~NameServer();
    NameServer(const NameServer&) = delete;
    NameServer& operator=(const NameServer&) = delete;

    std::size_t QueriesSeen() const { return m_queries.load(); }

private:
    NameServer(RawSocket socket, const Endpoint& address);
    void Serve();

    RawSocket m_socket;
    Endpoint m_address;
    std::atomic<bool> m_stopping{false};
    std::atomic<std::size_t> m_queries{0};
    std::thread m_thread;
};

// Why a resolver test skips when there is no NameServer.
inline constexpr const char* kNeedsPrivateResolver =
    "needs a name service of its own: run through tests/hostile/private_resolver, as ctest does, "
    "as root (a private mount namespace)";

}  // namespace vvtest
