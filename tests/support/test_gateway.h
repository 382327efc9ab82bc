// A real HTTP gateway inside the test process: a cpp-httplib server on an ephemeral loopback port
// that records every request and answers as each test scripts it.
#pragma once

#include <httplib.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vvtest {

struct RecordedRequest {
    std::string path;  // without the leading "/"
    std::string body;  // exact bytes
    std::string contentType;
    int remotePort = 0;  // tells connections apart
    // Taken before the reply goes out, so the next request of the same client comes later.
    std::chrono::steady_clock::time_point arrived;
};

struct ScriptedReply {
    int status = 200;
    std::string body;
    std::chrono::milliseconds delay{0};
    bool hang = false;  // hold the request until ReleaseHanging() or the gateway stops
    bool drop = false;  // send the head, then close the connection mid-body
};

struct GatewayOptions {
    int keepAliveSeconds = 1;  // stop() waits this long for idle keep-alive connections
    std::size_t workers = 0;   // requests served at once; 0: cpp-httplib's default
};

class TestGateway {
public:
    // Listens on `address` (any loopback address), on a free port.
    explicit TestGateway(const std::string& address = "127.0.0.1", GatewayOptions options = {});
    ~TestGateway();
    TestGateway(const TestGateway&) = delete;
    TestGateway& operator=(const TestGateway&) = delete;

    int Port() const { return m_port; }
    static std::string BaseUrl() { return "http://127.0.0.1"; }
    std::string UrlFor(const std::string& path) const
    {
        return BaseUrl() + ":" + std::to_string(m_port) + "/" + path;
    }

    // The reply for every request to `path` (without "/") from now on.
    void SetReply(const std::string& path, ScriptedReply reply);
    // A reply used once, before the standing one; queued replies go out in order.
    void QueueReply(const std::string& path, ScriptedReply reply);
    void ReleaseHanging();
    // Off: requests are answered but not kept (the bench posts gigabytes through here).
    void SetRecording(bool recording);

    std::vector<RecordedRequest> Requests() const;
    std::vector<RecordedRequest> RequestsTo(const std::string& path) const;
    std::size_t CountTo(const std::string& path) const { return RequestsTo(path).size(); }
    // Blocks until `count` requests to `path` have arrived (true) or `timeout` passes (false).
    bool WaitForRequests(const std::string& path, std::size_t count,
                         std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;
    // Blocks until `count` requests are held by a hanging reply (true) or `timeout` passes.
    bool WaitForHanging(std::size_t count,
                        std::chrono::milliseconds timeout = std::chrono::seconds(10)) const;

private:
    void Handle(const httplib::Request& request, httplib::Response& response);
    ScriptedReply NextReply(const std::string& path);
    void Hold(const ScriptedReply& reply, std::size_t generation);

    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_changed;
    std::vector<RecordedRequest> m_requests;
    std::map<std::string, ScriptedReply> m_standing;
    std::map<std::string, std::deque<ScriptedReply>> m_queued;
    std::size_t m_hanging = 0;
    std::size_t m_releaseGeneration = 0;
    bool m_recording = true;
    bool m_stopping = false;
};

}  // namespace vvtest
