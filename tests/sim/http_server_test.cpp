// The simulator on a real socket, driven by a raw HTTP client: refusals with reasons, the size
// cap, keep-alive, an exclusive port, the request log, the journal and the injected faults.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>

#include "facepad_protocol.h"
#include "sim_server.h"
#include "sim_test_helpers.h"

namespace {

namespace endpoint = facepad::endpoint;
using facepad::sim::Gateway;
using facepad::sim::ServerSettings;
using facepad::sim::SimServer;
using namespace std::chrono_literals;

// Sends `request` as raw bytes on a new connection and returns the answer's head and body; empty
// when none comes within a few seconds (the server's own read time-out is longer).
std::string RawExchange(int port, const std::string& request)
{
    const int socketFd = socket(AF_INET, SOCK_STREAM, 0);
    const timeval limit{3, 0};
    setsockopt(socketFd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string answer;
    if (connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        send(socketFd, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
        char buffer[512];
        ssize_t got = 0;
        while (answer.find("\r\n\r\n") == std::string::npos &&
               (got = recv(socketFd, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
        // The bodies here are short; one more read takes what did not come with the head.
        const timeval brief{0, 200 * 1000};
        setsockopt(socketFd, SOL_SOCKET, SO_RCVTIMEO, &brief, sizeof brief);
        while ((got = recv(socketFd, buffer, sizeof buffer, 0)) > 0) {
            answer.append(buffer, static_cast<std::size_t>(got));
        }
    }
    close(socketFd);
    return answer;
}

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
    // The server logs after it has answered, so a line may come just after the client returns.
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

TEST_F(HttpServer, RefusalsCarryTheirStatusAndReason)
{
    Start();
    const auto malformed = Post(endpoint::kBinding, "SN=T1&ch=1");
    ASSERT_TRUE(malformed);
    EXPECT_EQ(malformed->status, 400);
    EXPECT_NE(malformed->body.find("expected 2 TAB-separated field(s)"), std::string::npos)
        << malformed->body;

    const auto unknown = Post("facepad/nothing", "");
    ASSERT_TRUE(unknown);
    EXPECT_EQ(unknown->status, 404);
    EXPECT_EQ(unknown->body, "unknown endpoint /facepad/nothing");

    const auto get = client->Get("/facepad/getresult");
    ASSERT_TRUE(get);
    EXPECT_EQ(get->status, 405);
    EXPECT_NE(get->body.find("every endpoint takes POST"), std::string::npos);
}

// Decided from the request head alone, at once: httplib by itself waits its read time-out for a
// body that has no length, and takes "-5" for a huge length.
TEST_F(HttpServer, RequestHeadsAreAnsweredAtOnceWithAnEmptyBodyOrARefusal)
{
    Start();
    struct Case {
        std::string request;
        const char* expected[2];  // in the answer's status line, headers or body
    };
    const std::string post = "POST /facepad/getavailable HTTP/1.1\r\nHost: x\r\n";
    const Case cases[] = {
        {post + "\r\n", {"HTTP/1.1 200", "Data=[{\"sn\":\"T1\""}},
        {post + "Content-Length: -5\r\n\r\n",
         {"HTTP/1.1 400", "Content-Length must be a decimal number of bytes, got \"-5\""}},
        {post + "Content-Length: 4x\r\n\r\n", {"HTTP/1.1 400", "got \"4x\""}},
        {"GET /facepad/getresult HTTP/1.1\r\nHost: x\r\n\r\n", {"HTTP/1.1 405", "Allow: POST"}},
        {"DELETE /facepad/getresult HTTP/1.1\r\nHost: x\r\n\r\n",
         {"Allow: POST", "every endpoint takes POST"}},
    };
    for (const Case& c : cases) {
        const std::string answer = RawExchange(server->Port(), c.request);
        for (const char* expected : c.expected) {
            EXPECT_NE(answer.find(expected), std::string::npos) << c.request << "answered:\n"
                                                                << answer;
        }
    }
}

TEST_F(HttpServer, BodiesOverTheCapAre413AndTheServerGoesOn)
{
    ServerSettings settings;
    settings.payloadCap = 1024;
    Start(settings);
    const auto big = Post(endpoint::kAddUser, std::string(2048, 'x'));
    ASSERT_TRUE(big);
    EXPECT_EQ(big->status, 413);
    EXPECT_NE(big->body.find("body of 2048 bytes exceeds the cap of 1024 bytes"), std::string::npos)
        << big->body;
    const auto after = Post(endpoint::kGetResult, "");
    ASSERT_TRUE(after);
    EXPECT_EQ(after->status, 200);
}

TEST_F(HttpServer, MultiMegabytePhotoFitsTheDefaultCapAndArrivesWhole)
{
    Start();
    client->set_read_timeout(30, 0);  // under ThreadSanitizer on busy cores 4 MB take seconds
    ASSERT_EQ(Post(endpoint::kBinding, "SN=T1\tch=1")->status, 200);
    ASSERT_EQ(Post(endpoint::kAddUser, simtest::CommandBody("T1", "1", simtest::UserJson("7", "A")))
                  ->status,
              200);
    const std::string content(4 * 1024 * 1024, 'Q');
    const auto reply = Post(endpoint::kSetBioPhoto,
                            simtest::CommandBody("T1", "2", simtest::PhotoJson("7", 9, content)));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->status, 200) << reply->body;
    EXPECT_EQ(gateway.State().Snapshot().terminals.at("T1").photos.at("7").at(9).content.size(),
              content.size());
}

// httplib closes a keep-alive connection after 5 requests unless told otherwise; the adapter's
// pooled client would then reconnect every fifth request.
TEST_F(HttpServer, OneConnectionServesManyRequests)
{
    Start();
    const int socketFd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(server->Port()));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(connect(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string request =
        "POST /facepad/getresult HTTP/1.1\r\nHost: x\r\nContent-Length: 0\r\n\r\n";
    const std::string expectedBody = "result=[]";
    for (int i = 0; i < 12; ++i) {
        ASSERT_EQ(send(socketFd, request.data(), request.size(), 0),
                  static_cast<ssize_t>(request.size()));
        std::string answer;
        char buffer[512];
        while (answer.find("\r\n\r\n" + expectedBody) == std::string::npos) {
            const ssize_t got = recv(socketFd, buffer, sizeof buffer, 0);
            ASSERT_GT(got, 0) << "connection closed after " << i << " requests";
            answer.append(buffer, static_cast<std::size_t>(got));
        }
        EXPECT_EQ(answer.find("Connection: close"), std::string::npos) << "request " << i;
    }
    close(socketFd);
}

TEST_F(HttpServer, APortInUseIsRefusedNotShared)
{
    Start();
    ServerSettings second;
    second.port = server->Port();
    Gateway other{{}};
    try {
        SimServer duplicate(other, second);
        FAIL() << "a second server bound the busy port " << second.port;
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find(":" + std::to_string(second.port)),
                  std::string::npos)
            << error.what();
    }
}

TEST_F(HttpServer, EveryRequestGetsOneLogLine)
{
    ServerSettings settings;
    settings.payloadCap = 16;
    Start(settings);
    Post(endpoint::kGetTerminalStatus, "SN=T1");
    Post("facepad/none", "");
    Post(endpoint::kAddUser, std::string(64, 'x'));
    // Each request may come on its own connection and worker, so lines need not keep request order.
    const auto lines = WaitForLog(3);
    ASSERT_EQ(lines.size(), 3u);
    for (const char* expected : {"POST /facepad/getterminalstatus 200 in=5B Data=[{\"sn\":\"T1\"",
                                 "POST /facepad/none 404 in=0B unknown endpoint /facepad/none",
                                 "POST /facepad/adduser 413 in=0B payload too large"}) {
        const auto matches = std::count_if(
            lines.begin(), lines.end(),
            [&](const std::string& line) { return line.find(expected) != std::string::npos; });
        EXPECT_EQ(matches, 1) << expected;
    }
}

TEST_F(HttpServer, StatusOverrideAndServerErrorsLeaveTheStateAlone)
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
}

TEST_F(HttpServer, DroppedConnectionReachesTheClientAsATransportFailure)
{
    ServerSettings settings;
    settings.faults.dropRate = 1.0;
    Start(settings);
    const auto dropped = Post(endpoint::kGetResult, "");
    EXPECT_FALSE(dropped) << "status " << dropped->status;
}

TEST_F(HttpServer, LatencyIsAddedBeforeTheAnswer)
{
    ServerSettings settings;
    settings.faults.latency = 300ms;
    Start(settings);
    client->set_read_timeout(0, 50 * 1000);
    EXPECT_FALSE(Post(endpoint::kGetResult, "")) << "answered before the added latency";
    client->set_read_timeout(10, 0);
    const auto patient = Post(endpoint::kGetResult, "");
    ASSERT_TRUE(patient);
    EXPECT_EQ(patient->status, 200);
}

TEST_F(HttpServer, StopEndsALatencyWaitInFlight)
{
    ServerSettings settings;
    settings.faults.latency = 60s;
    Start(settings);
    auto waiting =
        std::async(std::launch::async, [this] { return Post(endpoint::kGetResult, "").error(); });
    // Stopping with a request inside its latency wait must not wait the minute out.
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

// The journal entry is written before the answer, so a host's CI can read the journal as soon as
// the host has its answer; the simulator's own paths are never journaled.
TEST_F(HttpServer, JournalHoldsEachGatewayRequestBeforeItsAnswer)
{
    Start();
    struct Case {
        std::string method;
        std::string path;
        std::string body;
        int status;
        bool journaled;
    };
    const Case cases[] = {
        {"POST", "/facepad/getterminalstatus", "SN=T1", 200, true},
        {"POST", "/facepad/none", "", 404, true},
        {"GET", "/facepad/getresult", "", 405, true},
        {"GET", "/", "", 200, false},
        {"GET", "/_sim/state", "", 200, false},
        {"POST", "/_sim/connect?terminal=T1", "", 200, false},
        {"POST", "/_sim/connect?terminal=T9", "", 400, false},
    };
    for (const Case& c : cases) {
        const auto before = server->Journal().Read({}).entries.size();
        const auto reply = c.method == "GET" ? client->Get(c.path.c_str())
                                             : client->Post(c.path.c_str(), c.body, "text/plain");
        ASSERT_TRUE(reply) << c.path;
        EXPECT_EQ(reply->status, c.status) << c.path << ": " << reply->body;
        const auto entries = server->Journal().Read({}).entries;
        ASSERT_EQ(entries.size(), before + (c.journaled ? 1 : 0)) << c.method << " " << c.path;
        if (c.journaled) {
            EXPECT_EQ(entries.back().method, c.method);
            EXPECT_EQ(entries.back().path, c.path);
            EXPECT_EQ(entries.back().status, c.status);
        }
    }
}

TEST_F(HttpServer, InjectedFaultsAreJournaledButSpareTheSimulatorsOwnPaths)
{
    ServerSettings settings;
    settings.faults.failRate = 1.0;
    Start(settings);
    for (const char* path : {"/", "/_sim/state", "/_sim/journal", "/_sim/page.js"}) {
        const auto reply = client->Get(path);
        ASSERT_TRUE(reply) << path;
        EXPECT_EQ(reply->status, 200) << path;
    }
    ASSERT_EQ(Post(endpoint::kGetResult, "")->status, 500);
    const auto entries = server->Journal().Read({}).entries;
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].fault, "server error");
}

TEST_F(HttpServer, AddedLatencySparesTheSimulatorsOwnPaths)
{
    ServerSettings settings;
    settings.faults.latency = 60s;  // far beyond the read time-out below
    Start(settings);
    client->set_read_timeout(10, 0);
    for (const char* path : {"/", "/_sim/state", "/_sim/journal"}) {
        const auto reply = client->Get(path);
        ASSERT_TRUE(reply) << path << " waited for the latency meant for gateway paths";
        EXPECT_EQ(reply->status, 200) << path;
    }
}

// Like the gateway paths, a control posted without Content-Length has no body and is answered at
// once, not after httplib's read time-out.
TEST_F(HttpServer, AControlWithoutContentLengthIsAnsweredAtOnce)
{
    Start();
    const std::string answer = RawExchange(
        server->Port(), "POST /_sim/disconnect?terminal=T1 HTTP/1.1\r\nHost: x\r\n\r\n");
    EXPECT_NE(answer.find("HTTP/1.1 200"), std::string::npos) << answer;
    EXPECT_FALSE(gateway.State().Status("T1")->connected);
}

}  // namespace
