// What a broken or hostile gateway may do, one group per misbehaviour: whatever it sends, the call
// ends in false (or no delivery), on time, without reading the gateway's flood into memory and
// without sending a command twice.
#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "VurodoroViri_Options.h"
#include "hostile_test.h"

namespace vvtest {
namespace {

using namespace std::string_literals;
using Outcome = Osmer_Framework::Face::VurodoroViri_ExchangeOutcome;
using Delivery = Osmer_Framework::Face::VurodoroViri_Delivery;

const std::string kAnswerOk = AnswerWith("ok");
constexpr std::size_t kFlood = 256u * 1024u * 1024u;
// What may pass between the two ends before a refusal takes effect: the socket buffers of both.
constexpr std::size_t kMostBytesBeforeRefusal = 16u * 1024u * 1024u;

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
        {
            RawGateway gateway([&](RawPeer& peer) {
                if (peer.ReadRequest() && peer.Send(c.start) && !c.chunk.empty()) {
                    while (flooded < kFlood && peer.Send(c.chunk)) {
                        flooded += c.chunk.size();
                    }
                }
            });
            EXPECT_FALSE(PostTo(client, gateway, "b"));
            EXPECT_EQ(client.GetLastPostError(), Terminal_Http_Error::ReplyTooLarge);
            EXPECT_EQ(client.GetLastPostStatus(), "");
        }
        EXPECT_LT(flooded.load(), kMostBytesBeforeRefusal);
    }
}

// After a first answer each script closes when idle (a request sent meanwhile is never read), reads
// the second and closes or resets (it may have acted: no resend), or answers it 408 (resent once).
TEST(AtMostOnce, ACommandIsResentOnlyWhenTheGatewayCannotHaveActedOnIt)
{
    const auto closeWhenIdle = [](RawPeer& peer) {
        if (peer.ReadRequest() && peer.Send(kAnswerOk)) {
            peer.Pause(50);
        }
    };
    const auto readSecondThenClose = [](RawPeer& peer) {
        if (peer.ReadRequest() && peer.Send(kAnswerOk)) {
            peer.ReadRequest();
        }
    };
    const auto readSecondThenReset = [=](RawPeer& peer) {
        readSecondThenClose(peer);
        peer.Reset();
    };
    const auto answerSecond408 = [](RawPeer& peer) {
        if (peer.ReadRequest() && peer.Send(kAnswerOk) && peer.ReadRequest()) {
            peer.Send("HTTP/1.1 408 Timeout\r\nConnection: close\r\nContent-Length: 0\r\n\r\n");
        }
    };
    struct Case {
        std::function<void(RawPeer&)> script;
        int spacingMs;  // between the end of one command and the next
        int commands;
        int leastAccepted;
        std::size_t resent;  // commands the gateway read twice because it asked for them
    };
    const Case cases[] = {
        {closeWhenIdle, 10, 100, 98, 0},  // the close races the next request
        {closeWhenIdle, 200, 5, 5, 0},    // the close arrived before it
        {readSecondThenClose, 10, 100, 98, 0}, {readSecondThenReset, 0, 100, 98, 0},
        {answerSecond408, 0, 2, 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(&c - cases);
        Terminal_Http_Tool client;
        int accepted = 0;
        std::vector<std::string> read;
        {
            RawGateway gateway(c.script);
            for (int i = 0; i < c.commands; ++i) {
                const bool ok = PostTo(client, gateway, "SN=" + std::to_string(i)) &&
                                client.GetLastPostStatus() == "200";
                accepted += ok ? 1 : 0;
                // A failure after the request went out is one the gateway may have acted on.
                EXPECT_TRUE(ok || client.GetLastPostWritten());
                std::this_thread::sleep_for(std::chrono::milliseconds(c.spacingMs));
            }
            read = gateway.BodiesRead();
        }
        EXPECT_GE(accepted, c.leastAccepted);
        EXPECT_EQ(read.size() - std::set<std::string>(read.begin(), read.end()).size(), c.resent)
            << "a command reached the gateway twice";
    }
}

// A connection that showed more bytes than answers (two at once, or one while idle) is dropped;
// one arriving in step with the next request cannot be told apart: docs/transport.md.
TEST(ExtraAnswers, AConnectionThatCarriedMoreThanItsAnswersIsNotReused)
{
    static std::atomic<int> extraAnswers{0};
    static std::atomic<int> requestsAfterThem{0};
    for (const bool atOnce : {true, false}) {
        extraAnswers = 0;
        requestsAfterThem = 0;
        RawGateway gateway([atOnce](RawPeer& peer) {
            if (peer.ReadRequest() &&
                peer.Send(AnswerWith(peer.LastBody()) + (atOnce ? AnswerWith("extra") : "")) &&
                peer.Send(atOnce ? "" : AnswerWith(peer.LastBody()))) {
                ++extraAnswers;
                requestsAfterThem += peer.ReadRequest() ? 1 : 0;
            }
        });
        Terminal_Http_Tool client;
        for (int i = 0; i < 20; ++i) {
            std::string reply;
            const std::string body = "SN=" + std::to_string(i);
            ASSERT_TRUE(
                client.HttpPostRequest(gateway.UrlFor("facepad/adduser"), body, reply, false));
            ASSERT_EQ(reply, body);  // at once: the waits below would hold a failure for minutes
            // The next command goes once the extra answer is out, while the connection is idle.
            const auto deadline = Clock::now() + 5s;
            while (extraAnswers.load() <= i && Clock::now() < deadline) {
                std::this_thread::yield();
            }
        }
        EXPECT_EQ(requestsAfterThem.load(), 0);
    }
}

TEST(EarlyAnswer, AnAnswerBeforeTheBodyWasReadIsTakenWithinTwoSeconds)
{
    struct Case {
        const char* how;
        const char* status;
        const char* text;
        void (RawPeer::*close)();
    };
    const Case cases[] = {
        {"close", "200", "ok", &RawPeer::Close},
        {"close", "413", "too large", &RawPeer::Close},
        {"lingering close", "413", "too large", &RawPeer::LingeringClose},
        {"reset", "413", "too large", &RawPeer::Reset},
    };
    const std::string photo(5u * 1024u * 1024u, 'p');
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.status) + ", then " + c.how);
        const std::string text = c.text;
        const std::string answer =
            std::string("HTTP/1.1 ") + c.status +
            " X\r\nConnection: close\r\nContent-Length: " + std::to_string(text.size()) +
            "\r\n\r\n" + text;
        RawGateway gateway([&answer, &c](RawPeer& peer) {
            if (peer.ReadHead() && peer.Send(answer)) {
                (peer.*c.close)();
            }
        });
        Terminal_Http_Tool client;
        std::string reply;
        const auto start = Clock::now();
        EXPECT_TRUE(
            client.HttpPostRequest(gateway.UrlFor("facepad/setbiophoto"), photo, reply, false));
        EXPECT_LT(MillisecondsSince(start), 2000);
        EXPECT_EQ(client.GetLastPostStatus(), c.status);
        EXPECT_EQ(reply, text);
    }
}

TEST(IdleConnection, OneIdleForTooLongIsNotReused)
{
    struct Case {
        const char* name;
        std::chrono::milliseconds idleTimeout;
        std::string keepAlive;  // the answer's Keep-Alive header
        std::chrono::milliseconds idle;
        std::size_t connections;
    };
    const Case cases[] = {
        {"past the client's idle limit", 100ms, "", 300ms, 2},
        {"past the gateway's timeout less its margin", 30000ms, "timeout=1, max=100", 600ms, 2},
        {"a gateway's timeout past any limit", 30000ms, "timeout=999999999999999", 0ms, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RawGateway gateway([&c](RawPeer& peer) {
            const std::string header =
                c.keepAlive.empty() ? "" : "Keep-Alive: " + c.keepAlive + "\r\n";
            while (peer.ReadRequest() &&
                   peer.Send("HTTP/1.1 200 OK\r\n" + header + "Content-Length: 2\r\n\r\nok")) {
                if (c.connections == 2) {
                    peer.Pause(60000);  // then forgets the connection, as a NAT does
                }
            }
        });
        Terminal_Http_Options options;
        options.idleTimeout = c.idleTimeout;
        options.readTimeout = 1000ms;
        Terminal_Http_Tool client(options);
        EXPECT_TRUE(PostTo(client, gateway, "1"));
        std::this_thread::sleep_for(c.idle);
        EXPECT_TRUE(PostTo(client, gateway, "2"));
        EXPECT_EQ(gateway.ConnectionsAccepted(), c.connections);
    }
}

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
    options.totalTimeout = 1000ms;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.first);
        RawGateway gateway(c.second);
        Terminal_Http_Tool client(options);
        const auto start = Clock::now();
        EXPECT_FALSE(PostTo(client, gateway, ""));
        const auto elapsed = MillisecondsSince(start);
        EXPECT_EQ(client.GetLastPostError(), Terminal_Http_Error::Timeout);
        EXPECT_TRUE(client.GetLastPostWritten()) << "the gateway may have acted on it";
        EXPECT_GE(elapsed, 1000);
        EXPECT_LT(elapsed, 5000) << "per-read time-outs alone would hold it 7.6 s or for ever";
    }
    // A time-out while connecting: nothing went out.
    const auto never = RawGateway::NeverAccepting();
    Terminal_Http_Tool client(options);
    EXPECT_FALSE(PostTo(client, *never, ""));
    EXPECT_EQ(client.GetLastPostError(), Terminal_Http_Error::Timeout);
    EXPECT_FALSE(client.GetLastPostWritten());
}

// A base URL is scheme and host: anything more would send every command elsewhere.
TEST(HostileAdapter, ABaseUrlWithMoreThanSchemeAndHostSendsNothing)
{
    RawGateway gateway([](RawPeer& peer) { peer.AnswerAll(kAnswerOk); });
    VurodoroViri_Druvel adapter;
    adapter.SetRequestPort(gateway.Port());
    const std::string refused[] = {"http://127.0.0.1/",
                                   "http://127.0.0.1/facepad",
                                   "http://127.0.0.1?a=1",
                                   "http://127.0.0.1#f",
                                   "http://user@127.0.0.1",
                                   "http://127.0.0.1:80",
                                   "http://127.0.0.1\0x"s,
                                   "http://127.0.0.1 x",
                                   "http://[::1]/",
                                   "https://127.0.0.1",
                                   "http://",
                                   ""};
    for (const std::string& base : refused) {
        SCOPED_TRACE(base);
        EXPECT_TRUE(adapter.SetUrl(base));
        ParamMap map;
        EXPECT_FALSE(adapter.GetAvailableFace(map));
        const auto last = VurodoroViri_GetLastExchange();
        EXPECT_EQ(last.outcome, Outcome::BadUrl);
        EXPECT_EQ(last.delivery, Delivery::NotSent);
        EXPECT_FALSE(last.detail.empty());
    }
    EXPECT_EQ(gateway.ConnectionsAccepted(), 0u);
    for (const char* base : {"http://127.0.0.1", "HTTP://localhost"}) {
        adapter.SetUrl(base);
        ParamMap map;
        EXPECT_TRUE(adapter.GetAvailableFace(map)) << base;
    }
}

// One adapter switched across many gateways closes the connections to those it left.
TEST(HostileAdapter, SwitchingGatewaysLeavesNoConnectionBehind)
{
    std::vector<std::unique_ptr<RawGateway>> gateways;
    VurodoroViri_Druvel adapter;
    for (int i = 0; i < 40; ++i) {
        gateways.push_back(
            std::make_unique<RawGateway>([](RawPeer& peer) { peer.AnswerAll(kAnswerOk); }));
        adapter.SetRequestPort(gateways.back()->Port());
        ParamMap map;
        EXPECT_TRUE(adapter.GetAvailableFace(map));
    }
    // Connections open at the first `counted` gateways once at most `most` or after 5 s.
    const auto openBecomes = [&](std::size_t counted, std::size_t most) {
        for (const auto deadline = Clock::now() + 5s;; std::this_thread::sleep_for(5ms)) {
            std::size_t open = 0;
            for (std::size_t i = 0; i < counted; ++i) {
                open += gateways[i]->ConnectionsOpen();
            }
            if (open <= most || Clock::now() >= deadline) {
                return open;
            }
        }
    };
    EXPECT_EQ(openBecomes(gateways.size() - 1, 0), 0u) << "left open at the gateways left behind";
    // A client that is not told keeps at most 16 idle connections, however many gateways it saw.
    Terminal_Http_Tool client;
    for (const auto& gateway : gateways) {
        EXPECT_TRUE(PostTo(client, *gateway, ""));
    }
    EXPECT_LE(openBecomes(gateways.size(), 17), 17u) << "16 idle ones and the adapter's";
}

std::string LargeResultList()
{
    std::string data = "[";
    for (int i = 0; i < 115000; ++i) {
        data += R"({\"id\":\")" + std::to_string(i) + R"(\",\"return\":\"0\"},)";
    }
    data.back() = ']';
    std::string list = "result=[";
    for (int t = 0; t < 4; ++t) {
        list += R"({"SN":"T)" + std::to_string(t) + R"(","data":")" + data + "\"},";
    }
    list.back() = ']';
    return list;  // 16.6 MB: just under the reply cap
}

// 5.6 million empty elements: a whole-document parse took 4 GB and 14 s of CPU.
std::string ManyEmptyElements()
{
    std::string list = "result=[";
    while (list.size() < kMostBytesBeforeRefusal - 4) {
        list += "{},";
    }
    list.back() = ']';
    return list;
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
    std::atomic<bool> listSent{false};
    // The list is read within ms of being sent; parsing it takes hundreds.
    const auto parsing = [&] { return listSent && (std::this_thread::sleep_for(50ms), true); };
    struct Phase {
        const char* name;
        const char* baseUrl;
        std::string answer;  // empty: a gateway that never accepts
        std::function<bool()> reached;
    };
    std::vector<Phase> phases = {
        {"connecting", "http://127.0.0.1", "",
         [] { return std::this_thread::sleep_for(300ms), true; }},  // first poll at 80 ms
        {"parsing a large result list", "http://127.0.0.1", AnswerWith(LargeResultList()), parsing},
        {"parsing millions of empty elements", "http://127.0.0.1", AnswerWith(ManyEmptyElements()),
         parsing},
    };
    if (nameServer) {
        phases.push_back({"resolving a name no server answers", "http://gateway.silent.test", "",
                          [&] { return nameServer->QueriesSeen() > 0; }});
    }
    for (const Phase& phase : phases) {
        SCOPED_TRACE(phase.name);
        listSent = false;
        const std::string& answer = phase.answer;
        const auto gateway = answer.empty() ? RawGateway::NeverAccepting()
                                            : std::make_unique<RawGateway>([&](RawPeer& peer) {
                                                  if (peer.ReadRequest() && peer.Send(answer)) {
                                                      listSent = true;
                                                  }
                                                  peer.Pause(60000);
                                              });
        const std::size_t deliveries = DeliveryRecorder::Instance().Deliveries().size();
        auto adapter = std::make_unique<VurodoroViri_Druvel>();
        Osmer_Framework::Face::VurodoroViri_SetFirstPollDelay(*adapter, 80ms);
        adapter->SetUrl(phase.baseUrl);
        adapter->SetRequestPort(gateway->Port());
        adapter->SetResultCallbackFace(&DeliveryRecorder::Callback);
        const auto deadline = Clock::now() + 10s;
        while (!phase.reached() && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
        const auto deleteStarted = Clock::now();
        adapter.reset();
        EXPECT_LT(MillisecondsSince(deleteStarted), 250);
#ifndef VV_THROUGH_SHIPPED_DLLS  // a host cannot count the DLL's threads
        EXPECT_TRUE(NoPollersWithin(10s));
#endif
        if (DeliveryRecorder::Instance().Deliveries().size() > deliveries) {
            EXPECT_LT(lastDelivery.load(), deleteStarted) << "a callback started after delete";
        }
    }
    if (!nameServer) {
        GTEST_SKIP() << "resolving (the other phases ran): " << kNeedsPrivateResolver;
    }
}

}  // namespace
}  // namespace vvtest
