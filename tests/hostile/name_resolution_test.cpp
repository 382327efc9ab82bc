// A gateway named by a host name, resolved by the system's own resolver against the name service
// of tests/hostile/private_resolver: resolution ends by the exchange's deadline and says "cannot
// resolve" and why, and a dead first address does not use up the whole connect time-out.
#include "hostile_test.h"
#include "tcp_socket.h"

#ifndef _WIN32
#include <fcntl.h>
#endif

namespace vvtest {
namespace {

using Osmer_Framework::Terminal_Http_ErrorName;

void AnswerOk(RawPeer& peer)
{
    peer.AnswerAll(AnswerWith(""));
}

// The adapter's diagnostics name the host too (the last check).
TEST(NameResolution, EndsByTheDeadlineAndSaysWhy)
{
    const auto nameServer = NameServer::Start();
    if (!nameServer) {
        GTEST_SKIP() << kNeedsPrivateResolver;
    }
    // two-addresses.test is ::1, where nothing accepts, then 127.0.0.1, where the gateway is.
    RawGateway gateway(AnswerOk);
    const auto dead = RawGateway::NeverAccepting("::1", gateway.Port());
    Terminal_Http_Options options;
    options.connectTimeout = 1000ms;
    options.totalTimeout = 2000ms;
    struct Case {
        const char* name;
        const char* host;
        Terminal_Http_Error error;
        std::string detail;
        std::chrono::milliseconds most;
    };
    const std::vector<Case> cases = {
        {"the name server never answers", "gateway.silent.test", Terminal_Http_Error::Resolve,
         "cannot resolve gateway.silent.test: no answer within 2 s", 4000ms},
        {"no such name", "nowhere.test", Terminal_Http_Error::Resolve,
         "cannot resolve nowhere.test: no such host", 1000ms},
        {"the first address never accepts", "two-addresses.test", Terminal_Http_Error::None, "",
         2000ms},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Terminal_Http_Tool client(options);
        std::string reply;
        const std::string url = "http://" + std::string(c.host) + ":" +
                                std::to_string(gateway.Port()) + "/facepad/adduser";
        const auto start = Clock::now();
        const Terminal_Http_Result result = client.HttpPost(url, "SN=1", reply);
        EXPECT_LT(MillisecondsSince(start), c.most.count());
        EXPECT_STREQ(Terminal_Http_ErrorName(result.error), Terminal_Http_ErrorName(c.error));
        EXPECT_EQ(result.detail, c.detail);
    }
    VurodoroViri_Druvel adapter;
    adapter.SetUrl("http://nowhere.test");
    ParamMap user{{"pin", "1001"}};
    EXPECT_FALSE(adapter.AddUser("17", "T1", user));
    const auto last = VurodoroViri_GetLastExchange();
    EXPECT_STREQ(Osmer_Framework::Face::VurodoroViri_ExchangeOutcomeName(last.outcome),
                 "cannot resolve");
    EXPECT_EQ(last.detail, "cannot resolve nowhere.test: no such host");
}

// Lookups left behind are counted per name: past 16 of its own a name no server answers fails at
// once, while other names, the hosts file's among them, still get lookups of their own.
TEST(NameResolution, LookupsLeftBehindStopOnlyTheirOwnName)
{
    const auto nameServer = NameServer::Start();
    if (!nameServer) {
        GTEST_SKIP() << kNeedsPrivateResolver;
    }
    RawGateway gateway(AnswerOk);
    Terminal_Http_Options shortDeadline;
    shortDeadline.totalTimeout = 20ms;
    Terminal_Http_Tool impatient(shortDeadline);
    Terminal_Http_Tool patient;
    const auto post = [&gateway](Terminal_Http_Tool& client, const std::string& host) {
        std::string reply;
        const std::string port = std::to_string(gateway.Port());
        return client.HttpPost("http://" + host + ":" + port + "/facepad/adduser", "", reply);
    };
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(post(impatient, "gateway.silent.test").error, Terminal_Http_Error::Resolve);
    }
    EXPECT_EQ(post(impatient, "gateway.silent.test").detail,
              "cannot resolve gateway.silent.test: 16 earlier lookups of this name are still "
              "unanswered");
    EXPECT_TRUE(post(patient, "localhost").Answered());
    EXPECT_NE(post(impatient, "another.silent.test").detail.find("no answer within"),
              std::string::npos)
        << "its own lookup";
}

// A child process the host starts must not hold the client's connection open.
TEST(ClientSocket, IsNotInheritedByChildProcesses)
{
    namespace http = Osmer_Framework::http;
    RawGateway gateway(AnswerOk);
    http::TcpSocket socket;
    std::string why;
    ASSERT_EQ(http::TcpSocket::Connect("127.0.0.1", gateway.Port(),
                                       http::ConnectLimits{1000ms, Clock::now() + 2000ms}, nullptr,
                                       socket, why),
              http::IoStatus::Done);
#ifdef _WIN32
    DWORD flags = 0;
    ASSERT_TRUE(GetHandleInformation(reinterpret_cast<HANDLE>(socket.Handle()), &flags));
    EXPECT_EQ(flags & HANDLE_FLAG_INHERIT, 0u);
#else
    EXPECT_NE(fcntl(socket.Handle(), F_GETFD) & FD_CLOEXEC, 0);
#endif
}

}  // namespace
}  // namespace vvtest
