// What the tool reports when something stands between it and the gateway: a reverse proxy that
// gives up waiting (504) or has no gateway behind it (502), a run that never waited for its
// results, a journal whose disk fills. A result is proof; what nobody can know is "uncertain";
// the way forward the tool names never sends twice what may have been carried out.
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <csignal>
#include <fstream>

#include "reverse_proxy.h"
#include "running_simulator.h"

namespace {

using namespace std::chrono_literals;
using simtest::Finished;
using simtest::FreeLoopbackPort;
using simtest::Nginx;
using simtest::Occurrences;
using simtest::RunningSimulator;
using simtest::Scratch;

std::string UsersCsv(int users)
{
    std::string csv = "pin,name,pri,passwd,verify,card,vicecard\n";
    for (int i = 1; i <= users; ++i) {
        csv += std::to_string(i) + ",User " + std::to_string(i) + ",0,,0,,\n";
    }
    return csv;
}

std::string Port(int port)
{
    return std::to_string(port);
}

// Four fronts on one nginx: one that stops waiting for commands after 1 s but lets polls take
// 30 s, one that stops waiting for everything after 1 s, one whose gateway is down, and one that
// refuses everything with a JSON reply, as gateways do, holding quotes and a comma.
std::string ProxyServers(int gateway, int commandsCut, int allCut, int noGateway, int refusing)
{
    const std::string pass = "proxy_http_version 1.1; proxy_set_header Connection \"\"; ";
    return "upstream gateway { server 127.0.0.1:" + Port(gateway) + "; keepalive 4; }\n" +
           "upstream nowhere { server 127.0.0.1:" + Port(FreeLoopbackPort()) + "; }\n" +
           "server { listen 127.0.0.1:" + Port(commandsCut) + "; " + pass +
           "location / { proxy_pass http://gateway; proxy_read_timeout 1s; }\n"
           "  location = /facepad/getresult { proxy_pass http://gateway; proxy_read_timeout 30s; "
           "} }\n" +
           "server { listen 127.0.0.1:" + Port(allCut) + "; " + pass +
           "location / { proxy_pass http://gateway; proxy_read_timeout 1s; } }\n" +
           "server { listen 127.0.0.1:" + Port(noGateway) + "; " + pass +
           "location / { proxy_pass http://nowhere; } }\n" +
           "server { listen 127.0.0.1:" + Port(refusing) + "; " +
           "location / { return 400 '{\"error\":\"pin 1, refused\"}'; } }\n";
}

Finished Tool(int port, const std::string& args)
{
    return simtest::RunToEnd(simtest::Words(simtest::kTool + " --port " + Port(port) + " " + args),
                             60s);
}

std::size_t StatesIn(json_object* users, const char* state, std::string* reply = nullptr)
{
    std::size_t count = 0;
    for (std::size_t i = 0; i < json_object_array_length(users); ++i) {
        json_object* user = json_object_array_get_idx(users, i);
        if (std::string(json_object_get_string(json_object_object_get(user, "state"))) == state) {
            ++count;
            if (reply != nullptr) {
                *reply = json_object_get_string(json_object_object_get(user, "reply"));
            }
        }
    }
    return count;
}

TEST(CliOutcomes, BehindAProxyTheResultDecidesAndAGatewayDownStopsTheSync)
{
    if (!Nginx::Installed()) {
        GTEST_SKIP() << Nginx::kBinary << " is missing: scripts/bootstrap installs nginx-light";
    }
    RunningSimulator sim({"--terminal", "T1", "--latency", "1500"});
    ASSERT_GT(sim.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    const int commandsCut = FreeLoopbackPort(), allCut = FreeLoopbackPort(),
              down = FreeLoopbackPort(), refusing = FreeLoopbackPort();
    const Nginx proxy(ProxyServers(sim.port, commandsCut, allCut, down, refusing),
                      {commandsCut, allCut, down, refusing});
    ASSERT_EQ(proxy.Problem(), "");
    const Scratch users("proxied.csv", UsersCsv(12));
    const Scratch report("proxied-report.csv"), journal("proxied.journal");

    // Every command answered 504 while the gateway carries it out: uncertain, then done by its
    // result; the person reads the status and the page's title, never the page.
    const std::string sync = "sync-users " + users.path + " -t T1 --jobs 12 --wait-results=30 " +
                             "--skip-terminal-check --report " + report.path + " --journal " +
                             journal.path;
    for (int run = 0; run < 2; ++run) {  // the second resumes from the journal: nothing sent
        const Finished synced = Tool(commandsCut, sync);
        EXPECT_EQ(synced.exitCode, 0) << synced.output;
        EXPECT_CONTAINS(synced.output, "12 done\nnext: nothing to do");
        EXPECT_EQ(Occurrences(synced.output, "<html"), 0u) << synced.output;
        EXPECT_EQ(Occurrences(report.Contents(),
                              ",T1,done,\"user: its result 0 came, though sending reported: HTTP "
                              "504 (504 Gateway Time-out) from a proxy"),
                  12u)
            << report.Contents();
    }
    EXPECT_EQ(sim.LogCount("POST /facepad/adduser 200", 12), 12u);

    // The gateway gone behind the proxy: after a short run of 502s, sending stops as for an
    // unreachable gateway, and the way to resume is named.
    const Finished stopped =
        Tool(down, "--json sync-users " + users.path + " -t T1 --jobs 2 --no-progress " +
                       "--skip-terminal-check");
    EXPECT_EQ(stopped.exitCode, 3) << stopped.output;
    json_object* document = json_tokener_parse(stopped.output.c_str());
    ASSERT_NE(document, nullptr) << stopped.output;
    json_object* listed = json_object_object_get(document, "users");
    std::string page;
    const std::size_t uncertain = StatesIn(listed, "uncertain", &page);
    EXPECT_GE(uncertain, 5u);
    EXPECT_LE(uncertain, 6u);
    EXPECT_EQ(StatesIn(listed, "not-sent"), 12u - uncertain);
    EXPECT_CONTAINS(page, "<title>502 Bad Gateway</title>");
    EXPECT_CONTAINS(
        std::string(json_object_get_string(json_object_object_get(document, "message"))),
        "none the gateway's own: the gateway behind the proxy looks down");
    EXPECT_CONTAINS(std::string(json_object_get_string(json_object_object_get(document, "next"))),
                    "no --journal or --report recorded what went out");
    json_object_put(document);

    // A poll cut off by the proxy takes results nobody sees: the tool says they may be lost.
    const Finished cut = Tool(allCut, "add-user T1 --id 77 --pin 77 --wait=4");
    EXPECT_EQ(cut.exitCode, 3) << cut.output;
    EXPECT_CONTAINS(cut.output, "whether it was carried out is not known");
    EXPECT_CONTAINS(cut.output, "poll(s) failed after they were sent");

    // A refusal's reply, quotes and comma included, stays one field of its report row, and a retry
    // reads that report back.
    const Scratch refusedReport("refused-report.csv");
    const Finished refused =
        Tool(refusing, "sync-users " + users.path + " -t T1 --no-progress " +
                           "--skip-terminal-check --report " + refusedReport.path);
    EXPECT_EQ(refused.exitCode, 1) << refused.output;
    EXPECT_EQ(
        Occurrences(refusedReport.Contents(), ",\"{\"\"error\"\":\"\"pin 1, refused\"\"}\"\n"), 12u)
        << refusedReport.Contents();
    const Finished retried = Tool(sim.port, "sync-users " + users.path + " --retry-failed " +
                                                refusedReport.path + " --wait-results=30");
    EXPECT_CONTAINS(retried.output, "12 done\nnext: nothing to do");
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// A run that does not wait never polls (every poll takes the host's results too); a retry of its
// report sends none of what it sent, but collects their results first.
TEST(CliOutcomes, ARetryCollectsWhatWasSentInsteadOfSendingItAgain)
{
    RunningSimulator sim({"--terminal", "T1", "--latency", "200"});
    ASSERT_GT(sim.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    const Scratch users("retried.csv", UsersCsv(6));
    const Scratch report("retried-report.csv"), retried("retried-again.csv");
    const Finished sent = Tool(sim.port, "sync-users " + users.path + " -t T1 --jobs 1 " +
                                             "--fast-first-poll --report " + report.path);
    EXPECT_EQ(sent.exitCode, 0) << sent.output;
    EXPECT_CONTAINS(sent.output, "6 sent");
    EXPECT_EQ(Occurrences(sim.child->Stderr(), "/facepad/getresult"), 0u);
    const Finished retry = Tool(sim.port, "sync-users " + users.path + " --retry-failed " +
                                              report.path + " --report " + retried.path);
    EXPECT_EQ(retry.exitCode, 0) << retry.output;
    EXPECT_CONTAINS(retry.output, "6 done\nnext: nothing to do");
    EXPECT_EQ(Occurrences(retried.Contents(), ",T1,done,"), 6u) << retried.Contents();
    EXPECT_EQ(sim.LogCount("POST /facepad/adduser 200", 6), 6u);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// A journal that cannot be written stops the sync at once with its own exit code; the resume
// takes a last line cut short as not written, says so, and sends every user exactly once.
TEST(CliOutcomes, AFullDiskStopsTheSyncAndTheResumeSendsNothingTwice)
{
    RunningSimulator sim({"--terminal", "T1"});
    ASSERT_GT(sim.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    const Scratch users("full.csv", UsersCsv(60));
    const Scratch journal("full.journal");
    const std::string sync = " --port " + Port(sim.port) + " sync-users " + users.path +
                             " -t T1 --jobs 4 --no-progress --journal " + journal.path;
    // 1 KiB of file for the journal, as a full disk would leave it.
    std::vector<std::string> limited = {"sh", "-c",
                                        "ulimit -f 1; trap '' XFSZ; exec \"$0\" \"$@\""};
    for (const std::string& word : simtest::Words(simtest::kTool + sync)) {
        limited.push_back(word);
    }
    const Finished full = simtest::RunToEnd(limited, 60s);
    EXPECT_EQ(full.exitCode, 4) << full.output;
    EXPECT_CONTAINS(full.output, "cannot write the journal " + journal.path + ": File too large");
    std::ofstream(journal.path, std::ios::app) << "accepted\tT1\t9";  // a line cut short
    const Finished resumed =
        Tool(sim.port, sync.substr(sync.find("sync-users")) + " --wait-results=30");
    EXPECT_CONTAINS(resumed.output, "last line was cut short");
    EXPECT_CONTAINS(resumed.output, "60 user-terminal pair(s)");
    sim.LogCount("POST /facepad/adduser 200", 60);
    const std::string log = sim.child->Stderr();
    for (int i = 1; i <= 60; ++i) {
        EXPECT_EQ(Occurrences(log, "." + std::to_string(i) + ".user for T1"), 1u) << i;
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
