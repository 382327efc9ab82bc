// What a broken or hostile gateway may do, one group per misbehaviour: whatever it sends, the call
// ends in false (or no delivery), on time, without reading the gateway's flood into memory and
// without sending a command twice.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "Terminal_Http_Tool.h"
#include "delivery_recorder.h"
#include "name_server.h"
#include "raw_gateway.h"

namespace vvtest {
namespace {

using Osmer_Framework::Terminal_Http_Error;
using Osmer_Framework::Terminal_Http_Options;
using Osmer_Framework::Terminal_Http_Tool;
using Clock = std::chrono::steady_clock;

const std::string kAnswerOk = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
constexpr std::size_t kFlood = 256u * 1024u * 1024u;
// What may pass between the two ends before a refusal takes effect: the socket buffers of both.
constexpr std::size_t kMostBytesBeforeRefusal = 16u * 1024u * 1024u;

long long MillisecondsSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// ---- oversized heads --------------------------------------------------------------------------

struct FloodCase {
    const char* name;
    std::string start;  // sent once
    std::string chunk;  // then repeated up to 256 MiB
};

TEST(OversizedHead, IsRefusedBeforeMoreThanTheSocketBuffersArrive)
{
    const std::vector<FloodCase> cases = {
        {"28 KB reason phrase",
         "HTTP/1.1 200 " + std::string(28 * 1024, 'r') + "\r\nContent-Length: 0\r\n\r\n", ""},
        {"header lines", "HTTP/1.1 200 OK\r\n", "X-Filler: " + std::string(90, 'f') + "\r\n"},
        {"a header with no newline", "HTTP/1.1 200 OK\r\nX: ", std::string(64 * 1024, 'y')},
        {"a status line with no newline", "HTTP/1.1 200 ", std::string(64 * 1024, 'z')},
        {"endless 100 Continue", "", "HTTP/1.1 100 Continue\r\n\r\n"},
    };
    for (const FloodCase& c : cases) {
        SCOPED_TRACE(c.name);
        std::atomic<std::size_t> flooded{0};
        Terminal_Http_Tool client;
        std::string reply;
        {
            RawGateway gateway([&](RawPeer& peer) {
                if (peer.ReadRequest() && peer.Send(c.start) && !c.chunk.empty()) {
                    flooded = peer.SendRepeated(c.chunk, kFlood);
                }
            });
            EXPECT_FALSE(
                client.HttpPostRequest(gateway.UrlFor("facepad/adduser"), "b", reply, false));
            EXPECT_EQ(client.GetLastPostError(), Terminal_Http_Error::ReplyTooLarge);
            EXPECT_EQ(client.GetLastPostStatus(), "");
        }
        EXPECT_LT(flooded.load(), kMostBytesBeforeRefusal);
    }
}

// ---- connections the gateway closes -----------------------------------------------------------

struct CloseCase {
    const char* name;
    std::function<void(RawPeer&)> script;
    std::chrono::milliseconds spacing;  // between the end of one command and the next
    int commands;
    int leastAccepted;
    int readButUnanswered;  // requests the gateway's program read and never answered
};

// Answers, then keeps the connection idle for 50 ms without reading and closes it: a request that
// came in meanwhile is never read, and the close resets the connection.
void AnswerOnceThenCloseWhenIdle(RawPeer& peer)
{
    if (peer.ReadRequest() && peer.Send(kAnswerOk)) {
        peer.Pause(50);
    }
}

// Answers the first request; reads the second and closes without an answer: that one reached the
// gateway's program and must not be sent again.
void ReadTheSecondRequestAndClose(RawPeer& peer)
{
    if (peer.ReadRequest() && peer.Send(kAnswerOk)) {
        peer.ReadRequest();
    }
}

// wine reports a connection that the gateway reset as closed in order: the client cannot tell then
// that the gateway never read the request, and rightly does not send it again.
#ifdef _WIN32
constexpr bool kResetSeenAsClose = true;
#else
constexpr bool kResetSeenAsClose = false;
#endif
const std::string kCloseRaces = "close races the next request";

TEST(ClosedConnection, IsResentOnlyWhenTheGatewayNeverReadTheRequest)
{
    const std::vector<CloseCase> cases = {
        {kCloseRaces.c_str(), AnswerOnceThenCloseWhenIdle, std::chrono::milliseconds(10), 100, 99,
         0},
        {"close arrived before the next request", AnswerOnceThenCloseWhenIdle,
         std::chrono::milliseconds(200), 5, 5, 0},
        {"request read, then closed", ReadTheSecondRequestAndClose, std::chrono::milliseconds(10),
         2, 1, 1},
    };
    for (const CloseCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (kResetSeenAsClose && c.name == kCloseRaces) {
            continue;
        }
        Terminal_Http_Tool client;
        int accepted = 0;
        std::size_t read = 0;
        {
            RawGateway gateway(c.script);
            for (int i = 0; i < c.commands; ++i) {
                std::string reply;
                accepted += client.HttpPostRequest(gateway.UrlFor("facepad/adduser"), "SN=1", reply,
                                                   false) &&
                            client.GetLastPostStatus() == "200";
                std::this_thread::sleep_for(c.spacing);
            }
            read = gateway.RequestsRead();
        }
        EXPECT_GE(accepted, c.leastAccepted);
        EXPECT_EQ(read, static_cast<std::size_t>(accepted + c.readButUnanswered))
            << "a request that reached the gateway was sent twice, or one was lost";
    }
    if (kResetSeenAsClose) {
        GTEST_SKIP() << kCloseRaces << " (the other rows ran): wine reports a reset as a close";
    }
}

// ---- slow gateways ----------------------------------------------------------------------------

TEST(SlowGateway, TheWholeExchangeEndsAtItsDeadline)
{
    const std::vector<std::pair<const char*, std::function<void(RawPeer&)>>> cases = {
        {"a byte every 200 ms",
         [](RawPeer& peer) {
             peer.ReadRequest();
             for (char c : kAnswerOk) {
                 if (!peer.Send(std::string(1, c))) {
                     return;
                 }
                 peer.Pause(200);
             }
         }},
        {"100 Continue every 100 ms",
         [](RawPeer& peer) {
             peer.ReadRequest();
             while (peer.Send("HTTP/1.1 100 Continue\r\n\r\n")) {
                 peer.Pause(100);
             }
         }},
    };
    Terminal_Http_Options options;
    options.totalTimeout = std::chrono::milliseconds(1000);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        RawGateway gateway(c.second);
        Terminal_Http_Tool client(options);
        std::string reply;
        const auto start = Clock::now();
        EXPECT_FALSE(client.HttpPostRequest(gateway.UrlFor("facepad/adduser"), "", reply, false));
        const auto elapsed = MillisecondsSince(start);
        EXPECT_EQ(client.GetLastPostError(), Terminal_Http_Error::Timeout);
        EXPECT_GE(elapsed, 1000);
        EXPECT_LT(elapsed, 5000) << "per-read time-outs alone would hold it 7.6 s or for ever";
    }
}

// ---- delete while the polling thread is busy ----------------------------------------------------

std::string LargeResultList()
{
    std::string data = "[";
    for (int i = 0; i < 115000; ++i) {
        data += (i > 0 ? "," : "") + std::string("{\\\"id\\\":\\\"") + std::to_string(i) +
                "\\\",\\\"return\\\":\\\"0\\\"}";
    }
    data += "]";
    std::string list = "result=[";
    for (int t = 0; t < 4; ++t) {
        list += (t > 0 ? "," : "") + std::string("{\"SN\":\"T") + std::to_string(t) +
                "\",\"data\":\"" + data + "\"}";
    }
    return list + "]";  // 16.6 MB: just under the reply cap
}

// Waiting for an answer is ShutdownTest's.
TEST(HostileAdapter, DeleteIsPromptWhileThePollerResolvesConnectsOrParses)
{
    const auto nameServer = NameServer::Start();
    LogCapture log;
    static std::atomic<Clock::time_point> lastDelivery{};
    DeliveryRecorder::Instance().Reset([](ResultMap& results) {
        lastDelivery = Clock::now();
        results.clear();
    });
    VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(1));
    const std::string list = LargeResultList();
    const std::string answerList =
        "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(list.size()) + "\r\n\r\n" + list;
    std::atomic<bool> listSent{false};
    struct Phase {
        const char* name;
        const char* baseUrl;
        std::function<std::unique_ptr<RawGateway>()> gateway;
        std::function<bool(const RawGateway&)> reached;
    };
    std::vector<Phase> phases = {
        {"connecting", "http://127.0.0.1", [] { return RawGateway::NeverAccepting(); },
         [](const RawGateway&) {
             std::this_thread::sleep_for(std::chrono::milliseconds(300));  // first poll at 80 ms
             return true;
         }},
        {"parsing a large result list", "http://127.0.0.1",
         [&] {
             return std::make_unique<RawGateway>([&](RawPeer& peer) {
                 if (peer.ReadRequest() && peer.Send(answerList)) {
                     listSent = true;
                 }
                 peer.Pause(60000);
             });
         },
         [&](const RawGateway&) {
             if (!listSent) {
                 return false;
             }
             // The last bytes are read out of the socket buffers in a few ms; parsing them takes
             // a few hundred.
             std::this_thread::sleep_for(std::chrono::milliseconds(50));
             return true;
         }},
    };
    if (nameServer) {
        phases.push_back({"resolving a name no server answers", "http://gateway.silent.test",
                          [] { return RawGateway::NeverAccepting(); },
                          [&](const RawGateway&) { return nameServer->QueriesSeen() > 0; }});
    }
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        const std::unique_ptr<RawGateway> gateway = phase.gateway();
        const std::size_t deliveries = DeliveryRecorder::Instance().Deliveries().size();
        auto adapter = std::make_unique<VurodoroViri_Druvel>();
        adapter->SetUrl(phase.baseUrl);
        adapter->SetRequestPort(gateway->Port());
        adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (!phase.reached(*gateway) && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        const auto deleteStarted = Clock::now();
        adapter.reset();
        EXPECT_LT(MillisecondsSince(deleteStarted), 250);
        EXPECT_TRUE(NoPollersWithin(std::chrono::seconds(10)));
        if (DeliveryRecorder::Instance().Deliveries().size() > deliveries) {
            EXPECT_LT(lastDelivery.load(), deleteStarted) << "a callback started after delete";
        }
    }
    VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(100));
    if (!nameServer) {
        GTEST_SKIP() << "resolving (the other phases ran): " << kNeedsPrivateResolver;
    }
}

}  // namespace
}  // namespace vvtest
