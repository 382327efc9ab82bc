// A gateway that misbehaves on purpose: a loopback listener that hands each connection to a
// script, byte for byte, with no HTTP library in between.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "raw_socket.h"

namespace vvtest {

class RawGateway;

class RawPeer {
public:
    RawPeer(RawGateway& gateway, std::size_t slot, RawSocket socket)
        : m_gateway(gateway), m_slot(slot), m_socket(socket)
    {
    }
    ~RawPeer() { Close(); }  // as a gateway program ending would
    RawPeer(const RawPeer&) = delete;
    RawPeer& operator=(const RawPeer&) = delete;

    // One request, its Content-Length body recorded; false once the client or the gateway stops.
    bool ReadRequest() { return Read(true); }
    bool ReadHead() { return Read(false); }  // leaves the body unread
    const std::string& LastBody() const { return m_lastBody; }
    void AnswerAll(const std::string& answer)
    {
        while (ReadRequest() && Send(answer)) {
        }
    }
    bool Send(const std::string& bytes);  // false once the client is gone
    void Pause(int milliseconds) const;   // cut short when the gateway stops
    void Close();  // a reset when a request came in that the script never read
    void Reset();  // abortive (SO_LINGER {1, 0}), as a proxy or a crashing gateway does
    // Drains what the client still sends, so an early answer reaches it before any reset.
    void LingeringClose();

private:
    bool Read(bool withBody);

    RawGateway& m_gateway;
    std::size_t m_slot;
    RawSocket m_socket;
    std::string m_buffer;
    std::string m_lastBody;
};

class RawGateway {
public:
    using Script = std::function<void(RawPeer&)>;

    // Runs `script` on each connection, a thread each; port 0 picks a free one.
    explicit RawGateway(Script script, const char* address = "127.0.0.1", int port = 0)
        : RawGateway(std::move(script), address, port, true)
    {
    }
    ~RawGateway();
    RawGateway(const RawGateway&) = delete;
    RawGateway& operator=(const RawGateway&) = delete;

    // A listener that never accepts, its queue already full: further connection attempts hang.
    static std::unique_ptr<RawGateway> NeverAccepting(const char* address = "127.0.0.1",
                                                      int port = 0)
    {
        return std::unique_ptr<RawGateway>(new RawGateway(nullptr, address, port, false));
    }

    int Port() const { return m_port; }
    std::string UrlFor(const std::string& path) const
    {
        return "http://127.0.0.1:" + std::to_string(m_port) + "/" + path;
    }
    // The bodies of the requests read in full (what the gateway's program saw), in order.
    std::vector<std::string> BodiesRead();
    std::size_t ConnectionsAccepted();
    std::size_t ConnectionsOpen();  // accepted and not yet closed by the script

private:
    friend class RawPeer;
    RawGateway(Script script, const char* address, int port, bool accepting);
    void AcceptLoop();

    Script m_script;
    RawSocket m_listener;
    int m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::vector<RawSocket> m_peers;  // open sockets (closed ones are kNoSocket), shut on stop
    std::vector<std::string> m_bodies;
    std::vector<RawSocket> m_queued;  // client ends that fill a never-accepting listener's queue
    std::vector<std::thread> m_threads;
    std::thread m_acceptor;
};

}  // namespace vvtest
