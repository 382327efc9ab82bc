// The simulated gateway on a real socket: a cpp-httplib server that refuses requests of other
// sites (request_screen.h), reads every POST body raw, applies the fault plan, hands the request to
// the Gateway, journals it and logs one line per request. The page and the /_sim/ paths are
// served beside it, without faults or journal.
#pragma once

#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "facepad_protocol.h"
#include "fault_plan.h"
#include "gateway.h"
#include "gateway_front.h"
#include "request_journal.h"
#include "request_screen.h"
#include "sim_api.h"

namespace facepad::sim {

struct ServerSettings {
    std::string host = kDefaultHost;
    int port = kDefaultPort;  // 0: any free port; Port() tells which
    std::size_t payloadCap = kDefaultPayloadCap;
    FaultSettings faults;
    std::size_t journalSize = kDefaultJournalSize;  // requests the journal keeps
    std::function<void(const std::string&)> log;    // one line per request; null: silent
    // Names besides the loopback ones and `host` that the page and /_sim/ answer to.
    std::vector<std::string> allowedHosts;
    GatewayFront front;  // answers facepad/... instead of the gateway when set
};

class SimServer {
public:
    // Binds at once. Throws std::runtime_error naming the address when it cannot be bound; a
    // port another process listens on is refused, never shared.
    SimServer(Gateway& gateway, ServerSettings settings);
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    int Port() const { return m_port; }
    // Serves on a background thread; returns when the server accepts connections.
    void Start();
    // Ends latency waits and the listening loop and joins the thread. Idempotent.
    void Stop();
    // Requests now inside their added latency; lets a test stop the server with one in flight.
    std::size_t DelayedRequests();
    // False once the listening loop has ended, asked to or not.
    bool Running() const { return m_server.is_running() && !m_listenEnded; }
    RequestJournal& Journal() { return m_journal; }

private:
    void Configure();
    void ConfigureRoutes();
    void ConfigureBodyFraming();
    void ConfigureRefusals();
    void HandlePost(const httplib::Request& request, httplib::Response& response);
    void HandleSim(const httplib::Request& request, httplib::Response& response);
    void RecordInJournal(const httplib::Request& request, const httplib::Response& response);
    bool WaitLatency();
    void Log(const httplib::Request& request, const httplib::Response& response) const;
    static RequestToRecord Described(const httplib::Request& request,
                                     const httplib::Response& response);

    Gateway& m_gateway;
    ServerSettings m_settings;
    FaultPlan m_faults;
    RequestJournal m_journal;
    SimApi m_api;
    RequestScreen m_screen;
    httplib::Server m_server;
    std::thread m_thread;
    int m_port = 0;
    std::atomic<bool> m_listenEnded{false};

    std::mutex m_mutex;
    std::condition_variable m_stopping;
    bool m_stopRequested = false;
    std::size_t m_delayed = 0;
};

}  // namespace facepad::sim
