// The simulator on a real socket, driven by a raw HTTP client: refusals with reasons, the size
// cap, keep-alive, an exclusive port, the request log, the journal and the injected faults.
#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>

#include "gateway_test.h"
#include "sim_server.h"

namespace {

using facepad::sim::ServerSettings;
using facepad::sim::SimServer;

// A raw connection to the server, so that heads httplib's client would not send can be sent.
class RawConnection {
public:
    explicit RawConnection(int port) : m_fd(socket(AF_INET, SOCK_STREAM, 0))
    {
        const timeval limit{3, 0};  // the server's own read time-out is longer
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        m_connected = connect(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    }
    ~RawConnection() { close(m_fd); }
    // Sends `request` and reads until `end` has arrived or nothing more comes.
    std::string Exchange(const std::string& request, const std::string& end)
    {
        std::string answer;
        if (!m_connected ||
            send(m_fd, request.data(), request.size(), 0) != static_cast<ssize_t>(request.size())) {
            return answer;
        }
        char buffer[512];
        ssize_t got = 0;
        while (answer.find(end) == std::string::npos &&
               (got = recv(m_fd, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
        return answer;
    }

private:
    int m_fd;
    bool m_connected = false;
};

class HttpServer : public ::testing::Test {
protected:
    void Start(ServerSettings settings = {})
    {
        settings.port = 0;
        settings.log = [this](const std::string& line) {
            {
                std::lock_guard<std::mutex> lock(logMutex);
                logLines.push_back(line);
            }
            logged.notify_all();
        };
        server = std::make_unique<SimServer>(gateway, settings);
        server->Start();
        client = std::make_unique<httplib::Client>("127.0.0.1", server->Port());
    }
    httplib::Result Post(const std::string& path, const std::string& body)
    {
        return client->Post(("/" + path).c_str(), body, "text/plain");
    }
    std::vector<std::string> WaitForLog(std::size_t count)
    {
        std::unique_lock<std::mutex> lock(logMutex);
        logged.wait_for(lock, 10s, [&] { return logLines.size() >= count; });
        return logLines;
    }

    // Declared before the server, which logs into them until it is stopped.
    std::mutex logMutex;
    std::condition_variable logged;
    std::vector<std::string> logLines;
    Gateway gateway{{{"T1", true}}};
    std::unique_ptr<SimServer> server;
    std::unique_ptr<httplib::Client> client;
};

// Every request, answered at once from its head where it has no body (httplib by itself waits its
// read time-out for a body without a length and takes "-5" for a huge length): its status and
// reason, its one log line, and a journal entry written before the answer for gateway paths only.
TEST_F(HttpServer, EachRequestGetsItsAnswerOneLogLineAndAJournalEntryBeforeTheAnswer)
{
    Start();
    struct Case {
        std::string request;
        const char* head;     // in the answer's status line or headers
        const char* text;     // in the body
        const char* logLine;  // none for the simulator's own GETs (the next row sees one)
        bool journaled;
        std::size_t payloadCap = 0;  // a server of its own with this cap (0: the first one)
    };
    const std::string post = "POST /facepad/getavailable HTTP/1.1\r\nHost: x\r\n";
    const Case cases[] = {
        {post + "\r\n", "HTTP/1.1 200", "Data=[{\"sn\":\"T1\"",
         "POST /facepad/getavailable 200 in=0B Data=[{\"sn\":\"T1\"", true},
        {post + "Content-Length: -5\r\n\r\n", "HTTP/1.1 400",
         "Content-Length must be a decimal number of bytes, got \"-5\"", "getavailable 400", true},
        {post + "Content-Length: 4x\r\n\r\n", "HTTP/1.1 400", "got \"4x\"", "getavailable 400",
         true},
        {"POST /facepad/binding HTTP/1.1\r\nContent-Length: 10\r\n\r\nSN=T1&ch=1", "HTTP/1.1 400",
         "expected 2 TAB-separated field(s)", "POST /facepad/binding 400 in=10B bad request", true},
        {"POST /facepad/nothing HTTP/1.1\r\n\r\n", "HTTP/1.1 404",
         "unknown endpoint /facepad/nothing",
         "POST /facepad/nothing 404 in=0B unknown endpoint /facepad/nothing", true},
        {"DELETE /facepad/getresult HTTP/1.1\r\nHost: x\r\n\r\n", "Allow: POST",
         "every endpoint takes POST", "DELETE /facepad/getresult 405", true},
        {"GET /_sim/state HTTP/1.1\r\nHost: localhost\r\n\r\n", "HTTP/1.1 200", "\"summary\"",
         nullptr, false},
        {"POST /_sim/disconnect?terminal=T1 HTTP/1.1\r\nHost: [::1]:1\r\n\r\n", "HTTP/1.1 200",
         "ok", "POST /_sim/disconnect 200", false},
        {"POST /facepad/adduser HTTP/1.1\r\nContent-Length: 64\r\n\r\n" + std::string(64, 'x'),
         "HTTP/1.1 413", "body of 64 bytes exceeds the cap of 16 bytes",
         "POST /facepad/adduser 413 in=0B payload too large", true, 16},
    };
    for (const Case& c : cases) {
        if (c.payloadCap != 0) {
            ServerSettings settings;
            settings.payloadCap = c.payloadCap;
            Start(settings);
        }
        const auto journaled = server->Journal().Last();
        const std::size_t linesBefore = WaitForLog(0).size();
        const std::string answer = RawConnection(server->Port()).Exchange(c.request, c.text);
        for (const char* expected : {c.head, c.text}) {
            EXPECT_NE(answer.find(expected), std::string::npos) << c.request << "answered:\n"
                                                                << answer;
        }
        EXPECT_EQ(server->Journal().Last(), journaled + (c.journaled ? 1 : 0)) << c.request;
        if (c.logLine) {
            // The server logs after it has answered, so the line may come just after the answer.
            const auto lines = WaitForLog(linesBefore + 1);
            ASSERT_EQ(lines.size(), linesBefore + 1) << c.request;
            EXPECT_NE(lines.back().find(c.logLine), std::string::npos) << lines.back();
        }
    }
    EXPECT_FALSE(gateway.State().Status("T1")->connected);
}

// A page of another site reaches a loopback port through the browser: by DNS rebinding (its own
// name resolving to 127.0.0.1, sent as Host) or by a cross-site form or fetch (its Origin). Each
// row is refused, changes nothing and is logged; hosts, tools, a reverse proxy's Host on gateway
// paths and the page's own origin are served.
TEST_F(HttpServer, RequestsOfPagesOfOtherSitesAreRefused)
{
    ServerSettings settings;
    settings.allowedHosts = {"sim.lan"};
    Start(settings);
    const std::string port = std::to_string(server->Port());
    const std::string rebound = "Host: evil.example:" + port + "\r\n";
    const std::string own = "Host: 127.0.0.1:" + port + "\r\n";
    const std::string form = "Content-Type: text/plain\r\nContent-Length: 10\r\n\r\nSN=T1\tch=1";
    const std::pair<std::string, std::string> refused[] = {
        {"POST /_sim/next-result?terminal=T1&code=-1 HTTP/1.1\r\n" + rebound + "\r\n",
         "not to Host \"evil.example:" + port},
        {"GET /_sim/photo?terminal=T1&pin=1&type=9 HTTP/1.1\r\n" + rebound + "\r\n",
         "--allow-host NAME"},
        {"GET / HTTP/1.1\r\nHost: 127.0.0.1.evil.example\r\n\r\n",
         "Host \"127.0.0.1.evil.example\""},
        {"GET / HTTP/1.1\r\nHost: localhost:1@evil.example\r\n\r\n", "Host \"localhost:1@evil"},
        {"POST /_sim/disconnect?terminal=T1 HTTP/1.1\r\n\r\n", "not to Host \"\""},
        {"GET /_sim/state HTTP/1.1\r\n" + rebound + "Origin: http://evil.example:" + port +
             "\r\n\r\n",
         "not to Host"},
        {"POST /facepad/binding HTTP/1.1\r\nHost: x\r\nOrigin: http://evil.example\r\n" + form,
         "another site (Origin \"http://evil.example\")"},
        {"POST /facepad/binding HTTP/1.1\r\n" + own + "Origin: null\r\n" + form, "Origin \"null\""},
        {"GET /_sim/journal HTTP/1.1\r\n" + own + "Origin: http://localhost:" + port + "\r\n\r\n",
         "Origin \"http://localhost:" + port},
    };
    for (const auto& [request, reason] : refused) {
        const std::string answer = RawConnection(server->Port()).Exchange(request, reason);
        EXPECT_EQ(answer.rfind("HTTP/1.1 403", 0), 0u) << request << "answered:\n" << answer;
        EXPECT_NE(answer.find(reason), std::string::npos) << request << "answered:\n" << answer;
    }
    EXPECT_EQ(WaitForLog(std::size(refused)).size(), std::size(refused)) << "one line each";
    const auto overview = gateway.State().Overview({}, 0);
    EXPECT_TRUE(overview.terminals.at(0).connected && !overview.terminals.at(0).channel &&
                !overview.terminals.at(0).forcedResult);
    // A refused request's body is read as its body, not as requests of their own: here the
    // request written in it starts just where the server's first read of 4 KiB ends.
    const std::string inner = "POST /_sim/disconnect?terminal=T1 HTTP/1.1\r\n" + own + "\r\n";
    const std::string head =
        "POST /facepad/getavailable HTTP/1.1\r\nHost: x\r\nOrigin: http://evil.example\r\n";
    const std::size_t padding = 4096 - head.size() - sizeof "Content-Length: 4096\r\n\r\n" + 1;
    RawConnection connection(server->Port());
    connection.Exchange(head + "Content-Length: " + std::to_string(padding + inner.size()) +
                            "\r\n\r\n" + std::string(padding, 'x') + inner,
                        "another site");
    const std::string after =
        connection.Exchange("GET /_sim/state HTTP/1.1\r\n" + own + "\r\n", "\"pendingResults\"");
    EXPECT_NE(after.find("\"serial\":\"T1\",\"connected\":true"), std::string::npos) << after;

    for (const std::string& served :
         std::vector<std::string>{"GET /_sim/state HTTP/1.1\r\nHost: LOCALHOST:" + port + "\r\n",
                                  "GET /_sim/state HTTP/1.1\r\nHost: sim.lan\r\n",
                                  "POST /facepad/getavailable HTTP/1.1\r\nHost: proxy.example\r\n",
                                  "POST /_sim/connect?terminal=T1 HTTP/1.1\r\n" + own +
                                      "Origin: http://127.0.0.1:" + port + "\r\n"}) {
        const std::string answer =
            RawConnection(server->Port()).Exchange(served + "\r\n", "\r\n\r\n");
        EXPECT_EQ(answer.rfind("HTTP/1.1 200", 0), 0u) << served << "answered:\n" << answer;
    }
}

// httplib closes a keep-alive connection after 5 requests unless told otherwise; the adapter's
// pooled client would then reconnect every fifth request.
TEST_F(HttpServer, OneConnectionServesManyRequests)
{
    Start();
    RawConnection connection(server->Port());
    const std::string request =
        "POST /facepad/getresult HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n";
    for (int i = 0; i < 12; ++i) {
        const std::string answer = connection.Exchange(request, "\r\n\r\nresult=[]");
        EXPECT_NE(answer.find("\r\n\r\nresult=[]"), std::string::npos) << "request " << i;
        EXPECT_EQ(answer.find("Connection: close"), std::string::npos) << "request " << i;
    }
}

// A faulted request changes nothing and is journaled with its fault; a dropped connection reaches
// the client as a transport failure.
TEST_F(HttpServer, InjectedFaultsLeaveTheStateAlone)
{
    ServerSettings settings;
    settings.faults.statusOverrides[endpoint::kBinding] = 503;
    settings.faults.failRate = 1.0;
    Start(settings);
    const auto overridden = Post(endpoint::kBinding, "SN=T1\tch=1");
    ASSERT_TRUE(overridden);
    EXPECT_EQ(overridden->status, 503);
    EXPECT_NE(overridden->body.find("set for /facepad/binding"), std::string::npos);
    const auto failed =
        Post(endpoint::kAddUser, simtest::CommandBody("T1", "1", simtest::UserJson("7", "A")));
    ASSERT_TRUE(failed);
    EXPECT_EQ(failed->status, 500);
    const auto data = gateway.State().Snapshot();
    EXPECT_FALSE(data.terminals.at("T1").channel.has_value());
    EXPECT_TRUE(data.pendingResults.empty()) << "a failed request must not queue a result";
    const auto entries = server->Journal().Read({}).entries;
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[0].fault, "status override");
    EXPECT_EQ(entries[1].fault, "server error");

    settings.faults = {};
    settings.faults.dropRate = 1.0;
    Start(settings);
    const auto dropped = Post(endpoint::kGetResult, "");
    EXPECT_FALSE(dropped) << "status " << dropped->status;
}

// The latency is added before a gateway path's answer and a stop ends a request waiting in it;
// the simulator's own paths are spared it and every other fault.
TEST_F(HttpServer, LatencyDelaysGatewayPathsUntilTheServerStops)
{
    ServerSettings settings;
    settings.faults.latency = 60s;
    settings.faults.failRate = 1.0;
    Start(settings);
    client->set_read_timeout(10, 0);
    for (const char* path : {"/", "/_sim/state", "/_sim/journal", "/_sim/page.js"}) {
        const auto reply = client->Get(path);
        ASSERT_TRUE(reply) << path << " waited for the latency meant for gateway paths";
        EXPECT_EQ(reply->status, 200) << path;
    }
    auto waiting =
        std::async(std::launch::async, [this] { return Post(endpoint::kGetResult, "").error(); });
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    while (server->DelayedRequests() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(server->DelayedRequests(), 1u);
    const auto started = std::chrono::steady_clock::now();
    server->Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 10s);
    EXPECT_EQ(waiting.wait_for(10s), std::future_status::ready);
}

}  // namespace
