// facepad-cli as a process against the simulator as a process: what each subcommand sends, the
// reason and exit code of every refusal, the JSON document, and sync-users from its input checks
// to a final state for every user on every terminal.
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <csignal>
#include <fstream>
#include <thread>

#include "running_simulator.h"

namespace {

using namespace std::chrono_literals;
using simtest::Child;
using simtest::kTool;
using simtest::Occurrences;
using simtest::RunningSimulator;
using simtest::RunToEnd;
using simtest::Scratch;

const std::string kJpeg = std::string("\xff\xd8\xff\xe0", 4) + "JFIF face";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "face";

// The simulator's log line for each request must appear as the subcommand ran.
TEST(Cli, EachSubcommandSendsItsRequestAndSaysHowItEnded)
{
    RunningSimulator sim({"--terminal", "T1", "--terminal", "T2:offline"});
    ASSERT_GT(sim.port, 0);
    const Scratch photo("face.png", kPng);
    const Scratch init("init.txt",
                       "# all fourteen\ntype=1\nAttLog=1\nOpLog=1\nAttPhoto=1\nEnrollUser=1\n"
                       "ChgUser=1\nEnrollFP=1\nChgFP=1\nFPImag=1\nFACE=1\nUserPic=1\n"
                       "WORKCODE=1\nBioPhoto=1\nTimeOut=45\n");
    struct Case {
        std::string args;  // split at spaces
        int exitCode;
        std::string says;     // in the tool's output
        std::string arrived;  // in the simulator's request log
    };
    const Case cases[] = {
        {"bind T1 1", 0, "bind T1 to channel 1: accepted", "POST /facepad/binding 200"},
        {"bind T9 1", 1, "HTTP 409: refused: unknown terminal T9", "POST /facepad/binding 409"},
        {"available", 0, "T1  connected  bound to channel 1", "POST /facepad/getavailable 200"},
        {"status T1", 0, "terminal T1: connected", "Data=[{\"sn\":\"T1\",\"connstatus\":1}]"},
        {"status T2", 1, "terminal T2: not connected", "Data=[{\"sn\":\"T2\",\"connstatus\":0}]"},
        {"status T9", 1, "terminal T9: unknown", "Data=[]"},
        {"add-user T1 --id 7 --pin 1001 --name Zoë", 0, "add user 1001 (Zoë)",
         "command 7 for T1 queued: result 0"},
        {"set-photo T1 --id 8 --pin 1001 --file " + photo.path, 0,
         "set PNG photo of user 1001 (12 bytes)", "command 8 for T1 queued: result 0"},
        {"unlock T1 --id 9", 0, "unlock door on T1", "command 9 for T1 queued"},
        {"set-port 8080 --reset", 0, "reset 1", "listen port 8080, reset \"1\""},
        {"set-port 8081", 0, "reset 0", "listen port 8081, reset \"0\""},
        {"init --file " + init.path, 0, "14 given, 0 empty", "14 init settings stored"},
        {"init --set TimeOut=45 --all", 0, "1 given, 13 empty", "14 init settings stored"},
        {"watch-results --fast-first-poll --seconds 30 --expect 3", 0,
         "result: terminal T1, command 8 -> 0 (done)", "POST /facepad/getresult 200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args);
        const std::size_t before = Occurrences(sim.child->Stderr(), c.arrived);
        const auto run = sim.Tool(simtest::Words(c.args));
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_CONTAINS(run.output, c.says);
        EXPECT_GT(sim.LogCount(c.arrived, before + 1), before) << sim.child->Stderr();
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// Refusals that need no gateway send nothing; the others name the gateway's reason.
TEST(Cli, EveryFailureNamesItsReasonAndExitsWithItsCode)
{
    RunningSimulator sim({"--terminal", "T1", "--status", "adduser=413", "--quiet"});
    ASSERT_GT(sim.port, 0);
    RunningSimulator gone({"--quiet"});
    ASSERT_GT(gone.port, 0);
    EXPECT_EQ(gone.Stop(SIGTERM), 0);
    RunningSimulator slow({"--latency", "2000", "--quiet"});
    ASSERT_GT(slow.port, 0);
    const Scratch text("notes.jpg", "just text");
    const Scratch large("large.jpg", kJpeg + std::string(2000, 'x'));
    struct Case {
        std::string args;  // split at spaces
        int exitCode;
        std::string says;
    };
    const std::string at = "--port " + std::to_string(sim.port) + " ";
    const std::string atNobody = "--port " + std::to_string(gone.port) + " ";
    const std::string photo = "set-photo T1 --id 1 --pin 1 --file ";
    const Case cases[] = {
        {at + "ad-user", 2, "unknown subcommand \"ad-user\"; did you mean \"add-user\"?"},
        {at + "add-user T1 --id 1", 2, "--pin is required"},
        {at + "add-user T1 --id 1 --pin 1 --name \xff\xfe", 2,
         "--name: is not valid UTF-8; nothing sent"},
        {at + photo + text.path, 2, "is neither JPEG nor PNG; nothing sent"},
        {at + photo + large.path + " --max-photo-bytes 1000", 2,
         "more than --max-photo-bytes 1000; nothing sent"},
        {at + photo + "/nonexistent", 2, "/nonexistent: No such file or directory"},
        {at + "init --set timeout=45", 2, "did you mean \"TimeOut\"?"},
        {at + "init --set TimeOut=45", 2, "stores all 14 init settings at once"},
        {at + "set-port 70000", 2, "PORT must be a number from 1 to 65535"},
        {at + "watch-results --seconds 5", 2, "first poll comes 8 s after"},
        {"--url ftp://127.0.0.1 available", 2, "only http://HOST is supported"},
        {at + "add-user T1 --id 1 --pin 1", 1, "FAILED: refused by the gateway: HTTP 413"},
        {atNobody + "available", 3, "connection refused: nothing answers at"},
        {atNobody + "add-user T1 --id 1 --pin 1", 3, "connection refused"},
        {atNobody + "watch-results --seconds 9", 3, "connection refused"},
        {"--port " + std::to_string(slow.port) + " --timeout 1 available", 3,
         "no answer from http://127.0.0.1:" + std::to_string(slow.port) + " within --timeout 1 s"},
        {"--version", 0, "facepad-cli, adapter library "},
    };
    for (const Case& c : cases) {
        std::vector<std::string> argv = simtest::Words(c.args);
        argv.insert(argv.begin(), kTool);
        SCOPED_TRACE(c.args);
        const auto run = RunToEnd(argv, 60s);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_CONTAINS(run.output, c.says);
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_EQ(slow.Stop(SIGTERM), 0);
}

// Scripts read stdout as one JSON document whatever happened.
TEST(Cli, JsonModePrintsOneDocumentForSuccessRefusalAndUsageError)
{
    RunningSimulator sim({"--terminal", "T1", "--quiet"});
    ASSERT_GT(sim.port, 0);
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* member;  // present in the document
    };
    const Case cases[] = {
        {{"--json", "available"}, 0, "terminals"},
        {{"--json", "bind", "T9", "1"}, 1, "http_status"},
        {{"sync-users", "/nonexistent.csv", "-t", "T1", "--json"}, 2, "problems"},
        {{"--json", "ad-user"}, 2, "message"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args[1]);
        const auto run = sim.Tool(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        json_object* document = json_tokener_parse(run.output.c_str());
        ASSERT_NE(document, nullptr) << run.output;
        json_object* member = nullptr;
        EXPECT_TRUE(json_object_object_get_ex(document, c.member, &member)) << run.output;
        ASSERT_TRUE(json_object_object_get_ex(document, "exit_code", &member));
        EXPECT_EQ(json_object_get_int(member), c.exitCode);
        json_object_put(document);
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

TEST(CliSync, ABadFileIsReportedRowByRowAndNothingIsSent)
{
    RunningSimulator sim({"--terminal", "T1"});
    ASSERT_GT(sim.port, 0);
    const Scratch jpeg("ok.jpg", kJpeg);
    const Scratch text("text.jpg", "hello");
    const Scratch large("big.png", kPng + std::string(3000, 'x'));
    const std::string rows[][2] = {
        {"1001,Ada," + jpeg.path, ""},
        {"1001,Again,", "duplicate pin 1001 (first on line 2)"},
        {",Nobody,", "the pin is empty"},
        {"1004,\xc3\x28,", "not valid UTF-8"},
        {"1005,Text," + text.path, "photo " + text.path + " is neither JPEG nor PNG"},
        {"1006,Big," + large.path,
         "photo " + large.path + " has 3012 bytes, more than " + "--max-photo-bytes 2000"},
        {"1007,Gone,/nonexistent.jpg", "photo /nonexistent.jpg: No such file or directory"},
        {"1008,\"Open,", "a quoted field is not closed"},
        {"1009,Too,many,fields", "expected 3 fields, got 4"},
    };
    std::string csv = "pin,name,photo\n";
    for (const auto& row : rows) {
        csv += row[0] + "\n";
    }
    const Scratch users("bad.csv", csv);
    const auto run = sim.Tool({"sync-users", users.path, "-t", "T1", "--max-photo-bytes", "2000"});
    EXPECT_EQ(run.exitCode, 2) << run.output;
    for (std::size_t i = 1; i < std::size(rows); ++i) {
        EXPECT_CONTAINS(run.output, users.path + ":" + std::to_string(i + 2) + ": " + rows[i][1]);
    }
    EXPECT_CONTAINS(run.output, "8 problem(s) in the input; nothing sent");
    EXPECT_EQ(Occurrences(sim.child->Stderr(), "/facepad/adduser"), 0u);  // not one request
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// One run gives each kind of final state; a retry sends only what did not land.
TEST(CliSync, EveryUserOnEveryTerminalEndsInAFinalState)
{
    RunningSimulator sim({"--terminal", "T1", "--terminal", "T2", "--status", "setbiophoto=500"});
    ASSERT_GT(sim.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    const Scratch jpeg("face.jpg", kJpeg);
    const Scratch users("users.csv", "name,pin,photo\nAda,1,\nBob,2," + jpeg.path + "\n");
    const Scratch report("report.csv", "");
    const auto run = sim.Tool({"sync-users", users.path, "-t", "T1", "-t", "T2", "--report",
                               report.path, "--wait-results=20", "--fast-first-poll"});
    EXPECT_EQ(run.exitCode, 1) << run.output;
    const std::string written = report.Contents();
    const std::string expected[] = {
        "1,T1,done,",
        "1,T2,terminal-error,user: terminal returned code -1001 (terminal not bound)",
        "2,T1,rejected,photo: refused by the gateway: HTTP 500: status 500 set for",
        "2,T2,terminal-error,user: terminal returned code -1001",
    };
    for (const std::string& row : expected) {
        EXPECT_CONTAINS(written, row);
    }

    // Bound now: a retry sends only the pairs that are not done, and waits too briefly.
    ASSERT_EQ(sim.Tool({"bind", "T2", "2"}).exitCode, 0);
    const std::size_t before = sim.LogCount("/facepad/adduser 200", 4);
    const auto retry = sim.Tool({"sync-users", users.path, "--retry-failed", report.path,
                                 "--report", report.path, "--wait-results=1"});
    EXPECT_EQ(retry.exitCode, 1) << retry.output;
    EXPECT_EQ(sim.LogCount("/facepad/adduser 200", before + 3), before + 3);
    const std::string again = report.Contents();
    EXPECT_CONTAINS(again, "1,T2,no-result,no result within 1 s");
    EXPECT_EQ(Occurrences(again, "\n1,T1,"), 0u) << again;
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// Interrupted half way, then run again with the same journal: each user goes out exactly once.
TEST(CliSync, AResumedSyncSendsNoUserTwice)
{
    RunningSimulator sim({"--terminal", "T1", "--latency", "5"});
    ASSERT_GT(sim.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    constexpr int kUsers = 200;
    std::string csv = "pin,name\n";
    for (int i = 1; i <= kUsers; ++i) {
        csv += std::to_string(i) + ",User " + std::to_string(i) + "\n";
    }
    const Scratch users("many.csv", csv);
    const Scratch journal("journal.txt");
    const Scratch report("resumed.csv", "");
    {
        Child first(
            sim.ToolArgv({"sync-users", users.path, "-t", "T1", "--journal", journal.path}));
        // Interrupt once some users have gone out, as an operator's Ctrl-C would.
        const auto start = std::chrono::steady_clock::now();
        while (Occurrences(journal.Contents(), "accepted") < 20 &&
               std::chrono::steady_clock::now() - start < 30s) {
            std::this_thread::sleep_for(5ms);
        }
        first.Signal(SIGINT);
        EXPECT_EQ(first.WaitExit(30s), 130);
    }
    const std::size_t sentFirst = sim.LogCount("/facepad/adduser 200", 20);
    EXPECT_GE(sentFirst, 20u);
    EXPECT_LT(sentFirst, static_cast<std::size_t>(kUsers));
    const auto second =
        sim.Tool({"sync-users", users.path, "-t", "T1", "--journal", journal.path, "--report",
                  report.path, "--wait-results=30", "--fast-first-poll"});
    EXPECT_EQ(second.exitCode, 0) << second.output;
    EXPECT_EQ(sim.LogCount("/facepad/adduser 200", kUsers), static_cast<std::size_t>(kUsers));
    const std::string log = sim.child->Stderr();
    for (int i = 1; i <= kUsers; ++i) {
        EXPECT_EQ(Occurrences(log, "." + std::to_string(i) + ".user for T1"), 1u) << i;
    }
    EXPECT_EQ(Occurrences(report.Contents(), ",T1,done,"), static_cast<std::size_t>(kUsers));
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
