#include "raw_gateway.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

namespace vvtest {

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

int ListenOnLoopback(int backlog, int& port)
{
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof(address);
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(listener, backlog) != 0 ||
        getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("raw gateway: cannot listen on loopback");
    }
    port = ntohs(address.sin_port);
    return listener;
}

// Connects without waiting for the handshake to finish: the listener's queue takes it or not.
int ConnectNonBlocking(int port)
{
    const int client = socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    connect(client, reinterpret_cast<sockaddr*>(&address), sizeof(address));
    return client;
}

std::size_t ContentLength(const std::string& head)
{
    const auto at = head.find("Content-Length: ");
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 16, nullptr, 10);
}

}  // namespace

RawPeer::RawPeer(RawGateway& gateway, std::size_t slot, int socket)
    : m_gateway(gateway), m_slot(slot), m_socket(socket)
{
}

RawPeer::~RawPeer()
{
    Close();
}

void RawPeer::Close()
{
    std::lock_guard<std::mutex> lock(m_gateway.m_mutex);
    if (m_gateway.m_peers[m_slot] >= 0) {
        close(m_socket);
        m_gateway.m_peers[m_slot] = -1;
    }
}

void RawPeer::Reset()
{
    const linger abortive{1, 0};
    setsockopt(m_socket, SOL_SOCKET, SO_LINGER, &abortive, sizeof(abortive));
    Close();
}

void RawPeer::LingeringClose()
{
    shutdown(m_socket, SHUT_WR);
    char chunk[16 * 1024];
    while (!m_gateway.m_stopping && recv(m_socket, chunk, sizeof(chunk), 0) > 0) {
    }
    Close();
}

bool RawPeer::ReadHead()
{
    return Read(false);
}

bool RawPeer::ReadRequest()
{
    return Read(true);
}

bool RawPeer::Read(bool withBody)
{
    char chunk[16 * 1024];
    for (;;) {
        const auto headEnd = m_buffer.find("\r\n\r\n");
        if (headEnd != std::string::npos) {
            const std::size_t bodyBytes = withBody ? ContentLength(m_buffer.substr(0, headEnd)) : 0;
            const std::size_t total = headEnd + 4 + bodyBytes;
            if (m_buffer.size() >= total) {
                m_lastBody = m_buffer.substr(headEnd + 4, bodyBytes);
                m_buffer.erase(0, total);
                std::lock_guard<std::mutex> lock(m_gateway.m_mutex);
                ++m_gateway.m_requestsRead;
                m_gateway.m_bodies.push_back(m_lastBody);
                return true;
            }
        } else if (m_buffer.size() > kMaxRequestHead) {
            return false;
        }
        const ssize_t got = recv(m_socket, chunk, sizeof(chunk), 0);
        if (got <= 0 || m_gateway.m_stopping) {
            return false;
        }
        m_buffer.append(chunk, static_cast<std::size_t>(got));
    }
}

bool RawPeer::Send(const std::string& bytes)
{
    std::size_t offset = 0;
    while (offset < bytes.size() && !m_gateway.m_stopping) {
        const ssize_t sent =
            send(m_socket, bytes.data() + offset, bytes.size() - offset, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        offset += static_cast<std::size_t>(sent);
    }
    return offset == bytes.size();
}

std::size_t RawPeer::SendRepeated(const std::string& chunk, std::size_t total)
{
    std::size_t sent = 0;
    while (sent < total && Send(chunk)) {
        sent += chunk.size();
    }
    return sent;
}

void RawPeer::Pause(int milliseconds) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!m_gateway.m_stopping && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

RawGateway::RawGateway(Script script) : RawGateway(std::move(script), true) {}

RawGateway::RawGateway(Script script, bool accepting) : m_script(std::move(script))
{
    m_listener = ListenOnLoopback(accepting ? 64 : 0, m_port);
    if (accepting) {
        m_acceptor = std::thread([this] { AcceptLoop(); });
        return;
    }
    // A backlog of 0 still queues a connection or two; past that, SYNs are dropped.
    for (int i = 0; i < 4; ++i) {
        m_queued.push_back(ConnectNonBlocking(m_port));
    }
}

std::unique_ptr<RawGateway> RawGateway::NeverAccepting()
{
    return std::unique_ptr<RawGateway>(new RawGateway(nullptr, false));
}

RawGateway::~RawGateway()
{
    m_stopping = true;
    shutdown(m_listener, SHUT_RDWR);
    if (m_acceptor.joinable()) {
        m_acceptor.join();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (int peer : m_peers) {
            if (peer >= 0) {
                shutdown(peer, SHUT_RDWR);
            }
        }
    }
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    for (int queued : m_queued) {
        close(queued);
    }
    close(m_listener);
}

std::vector<std::string> RawGateway::BodiesRead()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_bodies;
}

std::size_t RawGateway::ConnectionsAccepted()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_peers.size();
}

std::size_t RawGateway::ConnectionsOpen()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return static_cast<std::size_t>(
        std::count_if(m_peers.begin(), m_peers.end(), [](int peer) { return peer >= 0; }));
}

std::string RawGateway::UrlFor(const std::string& path) const
{
    return BaseUrl() + ":" + std::to_string(m_port) + "/" + path;
}

void RawGateway::AcceptLoop()
{
    for (;;) {
        const int peer = accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (peer < 0 || m_stopping) {
            if (peer >= 0) {
                close(peer);
            }
            return;
        }
        std::lock_guard<std::mutex> lock(m_mutex);
        const std::size_t slot = m_peers.size();
        m_peers.push_back(peer);
        m_threads.emplace_back([this, slot, peer] {
            RawPeer connection(*this, slot, peer);
            m_script(connection);
        });
    }
}

}  // namespace vvtest
