#include "raw_gateway.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace vvtest {

namespace {

constexpr std::size_t kMaxRequestHead = 64 * 1024;

RawSocket ListenOn(const Endpoint& endpoint, int backlog)
{
    StartSockets();
    const RawSocket listener = socket(endpoint.family(), SOCK_STREAM, 0);
    if (listener == kNoSocket || bind(listener, endpoint.get(), endpoint.length) != 0 ||
        listen(listener, backlog) != 0) {
        throw std::runtime_error("raw gateway: cannot listen on loopback");
    }
    return listener;
}

// Connects without waiting for the handshake to finish: the listener's queue takes it or not.
RawSocket ConnectNonBlocking(const Endpoint& endpoint)
{
    const RawSocket client = socket(endpoint.family(), SOCK_STREAM, 0);
#ifdef _WIN32
    u_long on = 1;
    ioctlsocket(client, static_cast<long>(FIONBIO), &on);
#else
    fcntl(client, F_SETFL, O_NONBLOCK);
#endif
    connect(client, endpoint.get(), endpoint.length);
    return client;
}

std::size_t ContentLength(const std::string& head)
{
    const auto at = head.find("Content-Length: ");
    return at == std::string::npos ? 0 : std::strtoul(head.c_str() + at + 16, nullptr, 10);
}

}  // namespace

void RawPeer::Close()
{
    std::lock_guard<std::mutex> lock(m_gateway.m_mutex);
    if (m_gateway.m_peers[m_slot] != kNoSocket) {
        CloseSocket(m_socket);
        m_gateway.m_peers[m_slot] = kNoSocket;
    }
}

void RawPeer::Reset()
{
    linger abortive{};
    abortive.l_onoff = 1;
    abortive.l_linger = 0;
    setsockopt(m_socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abortive),
               sizeof(abortive));
    Close();
}

void RawPeer::LingeringClose()
{
    shutdown(m_socket, kShutSend);
    char chunk[16 * 1024];
    while (!m_gateway.m_stopping && ReceiveSome(m_socket, chunk, sizeof(chunk)) > 0) {
    }
    Close();
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
                m_gateway.m_bodies.push_back(m_lastBody);
                return true;
            }
        } else if (m_buffer.size() > kMaxRequestHead) {
            return false;
        }
        const long got = ReceiveSome(m_socket, chunk, sizeof(chunk));
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
        const long sent = SendSome(m_socket, bytes.data() + offset, bytes.size() - offset);
        if (sent <= 0) {
            return false;
        }
        offset += static_cast<std::size_t>(sent);
    }
    return offset == bytes.size();
}

void RawPeer::Pause(int milliseconds) const
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!m_gateway.m_stopping && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

RawGateway::RawGateway(Script script, const char* address, int port, bool accepting)
    : m_script(std::move(script))
{
    m_listener = ListenOn(EndpointOf(address, port), accepting ? 64 : 0);
    m_port = PortOf(m_listener);
    if (accepting) {
        m_acceptor = std::thread([this] { AcceptLoop(); });
        return;
    }
    // A backlog of 0 still queues a connection or two; past that, SYNs are dropped.
    for (int i = 0; i < 4; ++i) {
        m_queued.push_back(ConnectNonBlocking(EndpointOf(address, m_port)));
    }
}

RawGateway::~RawGateway()
{
    m_stopping = true;
    shutdown(m_listener, kShutBoth);
#ifdef _WIN32
    CloseSocket(m_listener);  // Winsock's shutdown does not end a blocked accept; closing does
#endif
    if (m_acceptor.joinable()) {
        m_acceptor.join();
    }
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (RawSocket& peer : m_peers) {
            if (peer != kNoSocket) {
                shutdown(peer, kShutBoth);
#ifdef _WIN32
                // wine's shutdown does not end a blocked receive either; closing does, and the
                // peer sees kNoSocket and does not close it again.
                CloseSocket(peer);
                peer = kNoSocket;
#endif
            }
        }
    }
    for (std::thread& thread : m_threads) {
        thread.join();
    }
    for (RawSocket queued : m_queued) {
        CloseSocket(queued);
    }
#ifndef _WIN32
    CloseSocket(m_listener);
#endif
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
    return static_cast<std::size_t>(std::count_if(
        m_peers.begin(), m_peers.end(), [](RawSocket peer) { return peer != kNoSocket; }));
}

void RawGateway::AcceptLoop()
{
    for (;;) {
        const RawSocket peer = accept(m_listener, nullptr, nullptr);
        if (peer == kNoSocket || m_stopping) {
            if (peer != kNoSocket) {
                CloseSocket(peer);
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
