// The HTTP client against a real server: bytes, statuses, failures, limits, pooling, threads.
#include <future>
#include <set>

#include "Terminal_Http_Tool.h"
#include "adapter_fixture.h"
#include "connection_pool.h"

namespace vvtest {
namespace {

using Osmer_Framework::Terminal_Http_Call;
using Osmer_Framework::Terminal_Http_Cancel;
using Osmer_Framework::Terminal_Http_Error;
using Osmer_Framework::Terminal_Http_Options;
using Osmer_Framework::Terminal_Http_Result;
using Osmer_Framework::Terminal_Http_Tool;

class HttpClientTest : public ::testing::Test {
protected:
    TestGateway gateway;
    Terminal_Http_Tool client;
};

// The body goes out byte for byte, NULs and megabytes included, and not as a form.
TEST_F(HttpClientTest, PostsBodyBytesUnchangedAndReturnsReplyAndStatus)
{
    gateway.SetReply("facepad/x", ScriptedReply{200, "reply \x01 bytes"});
    std::string body = std::string("SN=A\tid=1\tdata={\"a\":\"&=%\"}\r\n\0x", 31);
    for (std::size_t i = 0; i < 6 * 1024 * 1024; ++i) {
        body += static_cast<char>('A' + i % 23);
    }
    std::string reply = "stale";
    const Terminal_Http_Result result = client.HttpPost(gateway.UrlFor("facepad/x"), body, reply);
    EXPECT_EQ(reply, "reply \x01 bytes");
    EXPECT_EQ(result.status, 200);
    EXPECT_EQ(result.error, Terminal_Http_Error::None);
    EXPECT_TRUE(result.written);
    const auto requests = gateway.RequestsTo("facepad/x");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_TRUE(requests[0].body == body);
    EXPECT_EQ(requests[0].contentType.find("x-www-form-urlencoded"), std::string::npos);
}

// Any answered status is an answer with its code (a redirect is not followed); no answer is no
// status, no reply and the reason, just past the read time-out and the reply cap too.
TEST_F(HttpClientTest, EachEndingGivesItsResultStatusAndError)
{
    Terminal_Http_Options options;
    options.readTimeout = std::chrono::milliseconds(500);
    options.maxReplyBytes = 1024;  // the dropped reply announces as much
    Terminal_Http_Tool configured;
    configured.SetOptions(options);
    // Copies and moves carry the options: the cases below run on a default client that received
    // them through each. A moved-from client keeps them and stays usable.
    Terminal_Http_Tool copy(configured);
    Terminal_Http_Tool moved(std::move(copy));
    Terminal_Http_Tool assigned;
    assigned = moved;
    client = std::move(assigned);
    EXPECT_EQ(copy.GetOptions().readTimeout, options.readTimeout);
    struct Case {
        ScriptedReply reply;
        bool listening;
        bool answered;
        Terminal_Http_Error error;
    };
    using E = Terminal_Http_Error;
    const Case cases[] = {
        {{302, ""}, true, true, E::None},  // other statuses: command_outcomes_test
        {{200, "soon", std::chrono::milliseconds(50)}, true, true, E::None},
        {{200, std::string(1024, 'x')}, true, true, E::None},
        {{200, "late", std::chrono::milliseconds(3000)}, true, false, E::Timeout},
        {{200, std::string(1025, 'x')}, true, false, E::ReplyTooLarge},
        {{200, "", {}, false, true}, true, false, E::Transport},
        {{}, false, false, E::Connect},
    };
    const int unused = UnusedLoopbackPort();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.status);
        gateway.QueueReply("facepad/s", c.reply);
        std::string reply = "stale";
        const std::string url = c.listening
                                    ? gateway.UrlFor("facepad/s")
                                    : "http://127.0.0.1:" + std::to_string(unused) + "/facepad/s";
        const Terminal_Http_Result result = client.HttpPost(url, "", reply);
        EXPECT_EQ(result.Answered(), c.answered);
        EXPECT_EQ(result.status, c.answered ? c.reply.status : 0);
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(reply, c.answered ? c.reply.body : "");
    }
    EXPECT_EQ(gateway.Requests().size(), 6u);
}

// A gateway on another machine is reached by name or by any address, not only 127.0.0.1.
TEST(HttpClientHosts, AnotherAddressAndAHostNameReachTheGateway)
{
    TestGateway elsewhere("127.0.0.2");
    TestGateway local;
    Terminal_Http_Tool client;
    std::string reply;
    const std::string port = std::to_string(elsewhere.Port());
    EXPECT_TRUE(
        client.HttpPostRequest("http://127.0.0.2:" + port + "/facepad/a", "x", reply, false));
    EXPECT_EQ(elsewhere.CountTo("facepad/a"), 1u);
    // "localhost" may resolve to ::1 first, where nothing listens: the next address is tried.
    const std::string named = "http://localhost:" + std::to_string(local.Port()) + "/facepad/b";
    EXPECT_TRUE(client.HttpPostRequest(named, "x", reply, false));
    EXPECT_EQ(local.CountTo("facepad/b"), 1u);
}

// The fresh-connection flag opens a new connection even when a kept one waits in the pool.
TEST_F(HttpClientTest, ConnectionsAreReusedUnlessAFreshOneIsAsked)
{
    std::string reply;
    for (int i = 0; i < 10; ++i) {
        ASSERT_TRUE(client.HttpPostRequest(gateway.UrlFor("facepad/k"), "", reply, i >= 5));
    }
    std::set<int> ports;
    for (const auto& request : gateway.Requests()) {
        ports.insert(request.remotePort);
    }
    EXPECT_EQ(ports.size(), 6u);
}

// A hanging request holds only its own thread; a cancel aborts it and stays until reset. The
// framework's pair keeps each thread's own status: another thread's failure leaves this thread's
// "200", a failure leaves "", a new client has none.
TEST_F(HttpClientTest, AHangingRequestHoldsOnlyItsThreadUntilCancelled)
{
    gateway.SetReply("facepad/hang", ScriptedReply{200, "", {}, true});
    const std::string nowhere = "http://127.0.0.1:" + std::to_string(UnusedLoopbackPort()) + "/x";
    Terminal_Http_Cancel cancel;
    Terminal_Http_Call withCancel;
    withCancel.cancel = &cancel;
    auto hanging = std::async(std::launch::async, [&] {
        std::string reply;
        const auto error = client.HttpPost(gateway.UrlFor("facepad/hang"), "", reply, withCancel);
        const bool failed = !client.HttpPostRequest(nowhere, "", reply, false);
        return std::make_pair(error.error, failed && client.GetLastPostStatus().empty());
    });
    ASSERT_TRUE(gateway.WaitForRequests("facepad/hang", 1));
    std::string reply;
    EXPECT_TRUE(client.HttpPostRequest(gateway.UrlFor("facepad/quick"), "", reply, false));
    cancel.Cancel();
    EXPECT_EQ(hanging.get(), std::make_pair(Terminal_Http_Error::Cancelled, true));
    EXPECT_EQ(client.GetLastPostStatus(), "200");
    EXPECT_EQ(Terminal_Http_Tool().GetLastPostStatus(), "") << "a new client has no status";

    EXPECT_EQ(client.HttpPost(gateway.UrlFor("facepad/ok"), "", reply, withCancel).error,
              Terminal_Http_Error::Cancelled);
    EXPECT_EQ(gateway.CountTo("facepad/ok"), 0u);
    cancel.Reset();
    EXPECT_TRUE(client.HttpPost(gateway.UrlFor("facepad/ok"), "", reply, withCancel).Answered());
    gateway.ReleaseHanging();
}

// After a kept connection died under a request the gateway gets new connections only, for 30 s
// of the pool's clock.
TEST(ConnectionPool, AGatewayThatLetAKeptConnectionDieGetsNewOnesFor30Seconds)
{
    namespace http = Osmer_Framework::http;
    using namespace std::chrono_literals;
    static http::Clock::time_point now = http::Clock::now();
    http::ConnectionPool pool(Terminal_Http_Options{}, [] { return now; });
    TestGateway gateway;
    const std::string origin = "http://127.0.0.1:" + std::to_string(gateway.Port());
    const auto reused = [&] {  // a connection given back, then asked for
        http::TcpSocket socket;
        std::string why;
        http::TcpSocket::Connect("127.0.0.1", gateway.Port(), {1000ms, http::Clock::now() + 2s},
                                 nullptr, socket, why);
        pool.Release(origin, std::move(socket), http::Clock::duration::max());
        return pool.Acquire(origin, socket);
    };
    EXPECT_TRUE(reused());
    pool.Distrust(origin);
    now += 29900ms;
    EXPECT_FALSE(reused());
    now += 200ms;
    EXPECT_TRUE(reused());
}

// Each address gets the connect time-out, and no more than its even share of what is left of the
// deadline: twelve addresses that never answer leave the thirteenth a share of its own.
TEST(ConnectDeadline, EachAddressGetsItsShareOfWhatIsLeft)
{
    namespace http = Osmer_Framework::http;
    using std::chrono::milliseconds;
    const auto now = http::Clock::now();
    const auto share = [now](int leftMs, std::size_t addresses) {
        return std::chrono::duration_cast<milliseconds>(
                   http::ConnectDeadline(now, now + milliseconds(leftMs), milliseconds(3000),
                                         addresses) -
                   now)
            .count();
    };
    EXPECT_EQ(share(30000, 1), 3000);
    EXPECT_EQ(share(30000, 2), 3000);
    EXPECT_EQ(share(30000, 13), 2307);
    EXPECT_EQ(share(1000, 1), 1000);
    EXPECT_EQ(share(0, 2), 0);
    auto attempt = now;
    const auto deadline = now + milliseconds(30000);
    for (std::size_t left = 13; left > 1; --left) {
        attempt = http::ConnectDeadline(attempt, deadline, milliseconds(3000), left);
    }
    EXPECT_GE(deadline - attempt, milliseconds(2000)) << "what the live address is left";
}

}  // namespace
}  // namespace vvtest
