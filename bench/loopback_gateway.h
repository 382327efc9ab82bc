// The gateway every figure talks to: a cpp-httplib server on an ephemeral 127.0.0.1 port that
// answers each path with a fixed reply. It keeps connections alive for as long as the client
// wants and sends small answers without delay, so that what is measured is the client side.
#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <thread>

namespace vvbench {

class LoopbackGateway {
public:
    // Idle keep-alive connections are closed after `keepAliveSeconds`.
    explicit LoopbackGateway(int keepAliveSeconds = 1);
    ~LoopbackGateway();
    LoopbackGateway(const LoopbackGateway&) = delete;
    LoopbackGateway& operator=(const LoopbackGateway&) = delete;

    int Port() const { return m_port; }
    std::string Origin() const;  // "http://127.0.0.1:<port>"

    // "facepad/getresult" answers an empty result list unless told otherwise.
    void SetReply(const std::string& path, int status, const std::string& body);
    // Requests to `path` wait until ReleaseHanging() (or the gateway stops) before they answer.
    void SetHanging(const std::string& path, bool hanging);
    void ReleaseHanging();
    std::size_t HangingNow() const;
    std::size_t RequestsServed() const { return m_served.load(); }
    // Keeps a copy of the last body posted to each path (off by default: it costs a copy).
    void SetRecording(bool recording);
    std::string LastBody(const std::string& path) const;

private:
    struct Reply {
        int status = 200;
        std::string body;
        bool hang = false;
    };
    void Handle(const httplib::Request& request, httplib::Response& response);
    Reply ReplyFor(const httplib::Request& request);
    void Hang();

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<std::size_t> m_served{0};

    mutable std::mutex m_mutex;
    std::condition_variable m_released;
    std::map<std::string, Reply> m_replies;
    std::map<std::string, std::string> m_lastBodies;
    bool m_recording = false;
    std::size_t m_hanging = 0;
    std::size_t m_releaseGeneration = 0;
    bool m_stopping = false;
};

}  // namespace vvbench
