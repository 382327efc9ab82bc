// facepad-cli as a process against the simulator as a process: what each subcommand sends, the
// reason and exit code of every refusal, the JSON document, and sync-users / remove-users from
// their input checks to a final state for every user on every terminal, across interrupts.
#include <gtest/gtest.h>
#include <json-c/json.h>
#include <sys/stat.h>

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
using simtest::WaitForCount;

const std::string kJpeg = std::string("\xff\xd8\xff\xe0", 4) + "JFIF face";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "face";
const std::string kColumns = "pin,name,pri,passwd,verify,card,vicecard";

// `users` numbered users with every column, one row each.
std::string UsersCsv(int users)
{
    std::string csv = kColumns + "\n";
    for (int i = 1; i <= users; ++i) {
        csv += std::to_string(i) + ",\"User, " + std::to_string(i) + "\",0,,0,00" +
               std::to_string(i) + ",\n";
    }
    return csv;
}

struct Case {
    std::string args;  // split at spaces
    int exitCode;
    std::string says;       // in the tool's output
    std::string arrived{};  // in the simulator's request log, when given
    std::string absent{};   // nowhere in the tool's output, when given
};

// Runs the tool once per case. Adapter log lines appear only with -v; a --json run prints one
// document whatever happened.
void ExpectRuns(const RunningSimulator& sim, const std::string& prefix, const Case* cases,
                std::size_t count)
{
    for (const Case& c : std::vector<Case>(cases, cases + count)) {
        SCOPED_TRACE(prefix + c.args);
        const std::string log = c.arrived.empty() ? "" : sim.child->Stderr();
        const auto run = RunToEnd(simtest::Words(kTool + " " + prefix + c.args), 60s);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_CONTAINS(run.output, c.says);
        EXPECT_TRUE(c.absent.empty() || run.output.find(c.absent) == std::string::npos)
            << run.output;
        const bool verbose = c.args.rfind("-v ", 0) == 0;
        EXPECT_EQ(run.output.find("adapter log") == std::string::npos, !verbose) << run.output;
        if (!c.arrived.empty()) {
            const std::size_t before = Occurrences(log, c.arrived);
            EXPECT_GT(sim.LogCount(c.arrived, before + 1), before) << sim.child->Stderr();
        }
        if (c.args.rfind("--json", 0) == 0) {
            json_object* document = json_tokener_parse(run.output.c_str());
            EXPECT_NE(document, nullptr);
            EXPECT_EQ(json_object_get_int(json_object_object_get(document, "exit_code")),
                      c.exitCode)
                << run.output;
            json_object_put(document);
        }
    }
}

// The simulator's log line for each request must appear as the subcommand ran.
TEST(Cli, EachSubcommandSendsItsRequestAndSaysHowItEnded)
{
    std::vector<std::string> terminals = {"--terminal", "T1", "--terminal", "T2:offline"};
    for (int i = 0; i < 120; ++i) {  // a list far longer than the diagnostics' 4 KiB copy
        terminals.insert(terminals.end(), {"--terminal", std::string(60, 'L') + std::to_string(i)});
    }
    RunningSimulator sim(terminals);
    ASSERT_GT(sim.port, 0);
    const Scratch photo("face.png", kPng);
    const Scratch big("big.png", kPng + std::string(6 * 1024 * 1024, 'B'));
    const Scratch init("init.txt",
                       "# all fourteen\ntype=1\nAttLog=1\nOpLog=1\nAttPhoto=1\nEnrollUser=1\n"
                       "ChgUser=1\nEnrollFP=1\nChgFP=1\nFPImag=1\nFACE=1\nUserPic=1\n"
                       "WORKCODE=1\nBioPhoto=1\nTimeOut=45\n");
    const Scratch two("two.csv", UsersCsv(2));
    const Scratch list("terminals.txt", "T1\n# the offline one\n\n  T2\r\n");
    const std::string sync = "sync-users " + two.path;
    const Case cases[] = {
        {"bind T1 1", 0, "bind T1 to channel 1: accepted", "POST /facepad/binding 200"},
        {"bind T9 1", 1, "HTTP 409: refused: unknown terminal T9", "POST /facepad/binding 409"},
        {"available", 0,
         "T1  connected  bound to channel 1\nT2  not connected  not bound\n122 terminal(s)",
         "POST /facepad/getavailable 200"},
        {"status T1", 0, "terminal T1: connected", "Data=[{\"sn\":\"T1\",\"connstatus\":1}]"},
        {"status T2", 1, "terminal T2: not connected", "Data=[{\"sn\":\"T2\",\"connstatus\":0}]"},
        {"status T9", 1, "terminal T9: unknown (the gateway does not know this terminal)",
         "Data=[]"},
        {"add-user T1 --id 7 --pin 1001 --name Zoë", 0, "add user 1001 (Zoë)",
         "command 7 for T1 queued: result 0"},
        {"set-photo T1 --id 8 --pin 1001 --file " + photo.path, 0,
         "set PNG photo of user 1001 (12 bytes)", "command 8 for T1 queued: result 0"},
        {"unlock T1 --id 9", 0, "unlock door on T1", "command 9 for T1 queued"},
        {"set-port 8080 --reset", 0, "reset 1", "listen port 8080, reset \"1\""},
        {"set-port 8081", 0, "reset 0", "listen port 8081, reset \"0\""},
        {"init --file " + init.path, 0, "14 given, 0 empty", "14 init settings stored"},
        {"init --set TimeOut=45 --all", 0, "1 given, 13 empty", "14 init settings stored"},
        {"watch-results --seconds 30 --expect 3", 0, "result: terminal T1, command 8 -> 0 (done)",
         "POST /facepad/getresult 200"},
        // A name only when there is one; --wait reads the command's own result.
        {"add-user T2 --id 10 --pin 1002", 0, "add user 1002 on T2 as command 10: accepted",
         "command 10 for T2 queued: result -1001"},
        {"watch-results --seconds 30 --expect 1", 1, "1 result(s) received, 1 not 0",
         "POST /facepad/getresult 200"},
        {"add-user T9 --id 11 --pin 1 --wait", 1,
         "result: terminal T9, command 11 -> -1001 (terminal not bound)",
         "command 11 for T9 queued: result -1001"},
        {"del-user T1 --id 12 --pin 999", 0, "delete user 999 on T1 as command 12: accepted",
         "command 12 for T1 queued: result -1003"},
        {"unlock T1 --id 13 --wait=20", 0,
         "also taken off the gateway, for nobody else to see: result: terminal T1, command 12 -> "
         "-1003 (no such user)\nresult: terminal T1, command 13 -> 0 (done)",
         "command 13 for T1 queued: result 0"},
        // Every other operation's body as the simulator reads it, a photo of megabytes too.
        {"del-photo T1 --id 14 --pin 1001", 0, "delete photos of user 1001",
         "command 14 for T1 queued: result 0"},
        {"set-photo T1 --id 15 --pin 1001 --file " + big.path, 0, "(6291468 bytes)",
         "command 15 for T1 queued: result 0"},
        {"bind T2 2", 0, "bind T2 to channel 2: accepted", "bound T2 to channel 2"},
        {"unlock T2 --id 16", 0, "accepted", "command 16 for T2 queued: result -1002"},
        {"unbind T2", 0, "unbind T2: accepted", "unbound T2"},
        {"unbind T2", 1, "HTTP 409: refused: terminal T2 is not bound", "/unbinding 409"},
        // Terminals: comma lists, a file of serials, and the gateway's list, which refuses
        // before anything is sent what would end with every user -1001.
        {sync + " -t T1,T9 -t T2", 2,
         "sync-users: of the 3 terminal(s) named, the gateway does not know T9; it has not bound "
         "T2 (facepad-cli bind SN CHANNEL): every request to them would come back -1001"},
        {sync + " --terminals " + list.path + " -t T1,T9 --skip-terminal-check", 0, "6 sent",
         "for T9 queued: result -1001"},
    };
    const std::string port = "--port " + std::to_string(sim.port) + " ";
    ExpectRuns(sim, port, cases, std::size(cases));

    // A run's outcome is on stdout whatever its exit code: with stderr thrown away it is there.
    const std::string failures[][2] = {
        {"bind T9 1", "bind T9 to channel 1: FAILED: refused by the gateway: HTTP 409"},
        {sync + " -t T9 --skip-terminal-check --wait-results=20", "2 terminal-error"},
    };
    for (const auto& [args, says] : failures) {
        std::vector<std::string> argv = {"sh", "-c", "exec \"$0\" \"$@\" 2>/dev/null"};
        for (const std::string& word : simtest::Words(kTool + " " + port + args)) {
            argv.push_back(word);
        }
        const auto run = RunToEnd(argv, 60s);
        EXPECT_EQ(run.exitCode, 1) << run.output;
        EXPECT_CONTAINS(run.output, says);
    }
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// Refusals that need no gateway send nothing: the command line, the input files, and every file
// the run will write, checked before the first request. The others name the gateway's reason.
// With --json, scripts read stdout as one JSON document whatever happened.
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
    const Scratch users("json.csv", UsersCsv(3));
    const Scratch good("good.csv", UsersCsv(2));
    const std::string goodT1 = " " + good.path + " -t T1";
    const Scratch withBom("bom.csv", "\xEF\xBB\xBF" + UsersCsv(1));
    const Scratch utf16("utf16.csv", std::string("\xFF\xFEp\0i\0n\0", 8));
    const Scratch nameOnly("names.csv", "pin,name\n1,Ada\n");
    // Header rules: any case, trailing empty columns (as spreadsheets save them), typos named.
    const Scratch upper("upper.csv",
                        "PIN,Name,Pri,Passwd,Verify,Card,ViceCard,,\n1,Ada,0,,0,,,,\n");
    const Scratch typo("typo.csv", "pin,naem,pri,passwd,verify,card,vicecard\n1,Ada,0,,0,,\n");
    const Scratch leavers("leavers.csv", "pin,address\n1,\"1 Main St\nSpringfield\"\n2,x\n2,y\n");
    const Scratch textPins("text-pins.csv", kColumns + "\n1,A,0,,0,,\n01,B,0,,0,,\n");
    const Scratch folder("folder");
    ASSERT_EQ(mkdir(folder.path.c_str(), 0700), 0);
    const std::string at = "--port " + std::to_string(sim.port) + " ";
    const std::string atNobody = "--port " + std::to_string(gone.port) + " ";
    const std::string photo = "set-photo T1 --id 1 --pin 1 --file ";
    const Case cases[] = {
        {at + "ad-user", 2, "unknown subcommand \"ad-user\"; did you mean \"add-user\"?"},
        {at + "add-user T1 --id 1 --pin 1 --name \xff\xfe", 2,
         "--name: is not valid UTF-8; nothing sent"},
        {at + photo + text.path, 2, "is neither JPEG nor PNG; nothing sent"},
        {at + photo + large.path + " --max-photo-bytes 1000", 2,
         "more than --max-photo-bytes 1000; nothing sent"},
        {at + "init --set timeout=45", 2, "did you mean \"TimeOut\"?"},
        {at + "init --set TimeOut=45", 2, "stores all 14 init settings at once"},
        {at + "init --file /tmp", 2, "init settings file /tmp: is a directory"},
        {at + "set-port 70000", 2, "PORT must be a number from 1 to 65535"},
        {"--url ftp://127.0.0.1 available", 2, "only http://HOST is supported"},
        {"--url http://127.0.0.1/ " + at + "available", 2, "it ends in \"/\""},
        {at + "add-user T1 --id 1 --pin 1", 1, "FAILED: refused by the gateway: HTTP 413"},
        {atNobody + "available", 3, "connection refused: nothing answers at"},
        {"-v " + atNobody + "available", 3,
         "adapter log [2]: VurodoroViri_Druvel::GetAvailableFace Call HttpPostRequest ret false"},
        {"--url http://no-such-host.invalid available", 3, "cannot resolve no-such-host.invalid"},
        {atNobody + "watch-results --seconds 9", 3, "connection refused"},
        {"--port " + std::to_string(slow.port) + " --timeout 1 available", 3,
         "no answer from http://127.0.0.1:" + std::to_string(slow.port) + " within --timeout 1 s"},
        {"--version", 0, ", commit "},
        {"--json " + at + "available", 0, "\"terminals\":["},
        {"--json " + at + "bind T9 1", 1, "\"endpoint\":\"facepad/binding\""},
        {"--json " + at + "sync-users /nonexistent.csv -t T1", 2, "\"problems\":["},
        {"--json " + at + "sync-users " + users.path + " -t T1 -t T2 --dry-run", 0,
         "{\"pin\":\"3\",\"terminal\":\"T2\",\"state\":\"checked\""},
        {"--json=summary " + at + "sync-users " + users.path + " -t T1 -t T2 --dry-run", 0,
         "\"summary\":{", "", "\"users\":"},
        {"--json ad-user", 2, "\"message\":\"unknown subcommand"},
        // Files: nothing listens at atNobody, so a run that sent anything would end with 3.
        {atNobody + "sync-users " + withBom.path + " -t T1 --dry-run", 0, "1 checked"},
        {atNobody + "sync-users " + utf16.path + " -t T1", 2, "is UTF-16 text"},
        {atNobody + "sync-users " + folder.path + " -t T1", 2, folder.path + ": is a directory"},
        {atNobody + "sync-users " + nameOnly.path + " -t T1", 2,
         "has no column pri, passwd, verify, card, vicecard: each sync replaces the whole user "
         "record"},
        {atNobody + "sync-users " + nameOnly.path + " -t T1 --dry-run --allow-missing-columns", 0,
         "1 checked"},
        {atNobody + "sync-users" + goodT1 + " --report " + folder.path, 2,
         "cannot write the report " + folder.path + ": is a directory"},
        {atNobody + "remove-users" + goodT1 + " --journal " + folder.path + "/no/journal", 2,
         "cannot write the journal"},
        {atNobody + "sync-users" + goodT1 + " --wait-results=x", 2,
         "the wait must be a whole number of seconds"},
        {atNobody + "sync-users " + good.path, 2, "name at least one --terminal"},
        {atNobody + "sync-users " + upper.path + " -t T1 --dry-run", 0, "1 checked"},
        {atNobody + "sync-users " + typo.path + " -t T1", 2,
         typo.path + ":1: unknown column \"naem\" (did you mean \"name\"?)"},
        {atNobody + "remove-users " + leavers.path + " -t T1", 2,
         leavers.path + ":5: duplicate pin 2 (first on line 4)", "", "quoted field"},
        {atNobody + "sync-users " + textPins.path + " -t T1 --dry-run --text-pins", 0, "2 checked"},
    };
    ExpectRuns(sim, "", cases, std::size(cases));

    // The gateway's address: --url and --port, then FACEPAD_GATEWAY, then the default.
    const struct {
        std::string variable, args;
        int exitCode;
        std::string says;
    } variables[] = {
        {"http://127.0.0.1:" + std::to_string(sim.port), "available", 0, "1 terminal(s)"},
        {"http://127.0.0.1:" + std::to_string(gone.port), at + "available", 0, "1 terminal(s)"},
        {"http://localhost:" + std::to_string(sim.port),
         "--url http://no-such-host.invalid available", 3, "cannot resolve no-such-host.invalid"},
        {"http://127.0.0.1:" + std::to_string(sim.port) + "/facepad", "available", 2,
         "FACEPAD_GATEWAY=http://127.0.0.1:" + std::to_string(sim.port) + "/facepad: bad URL"},
    };
    for (const auto& v : variables) {
        SCOPED_TRACE(v.variable + " " + v.args);
        setenv("FACEPAD_GATEWAY", v.variable.c_str(), 1);
        const auto run = RunToEnd(simtest::Words(kTool + " " + v.args), 60s);
        EXPECT_EQ(run.exitCode, v.exitCode) << run.output;
        EXPECT_CONTAINS(run.output, v.says);
    }
    unsetenv("FACEPAD_GATEWAY");

    // Every row of a users file is checked, each problem named, before anything is sent.
    const Scratch jpeg("ok.jpg", kJpeg);
    const Scratch big("big.png", kPng + std::string(3000, 'x'));
    const std::string rows[][2] = {
        {"1001,Ada,0,,0,,," + jpeg.path, ""},
        {"1001,Again,0,,0,,,", "duplicate pin 1001 (first on line 2)"},
        {",Nobody,0,,0,,,", "the pin is empty"},
        {"1004,\xc3\x28,0,,0,,,", "not valid UTF-8"},
        {"1005,Text,0,,0,,," + text.path, "photo " + text.path + " is neither JPEG nor PNG"},
        {"1006,Big,0,,0,,," + big.path,
         "photo " + big.path + " has 3012 bytes, more than " + "--max-photo-bytes 2000"},
        {"1007,Gone,0,,0,,,/nonexistent.jpg", "photo /nonexistent.jpg: No such file or directory"},
        {"1009,Too,0,,0,,,,many", "expected 8 fields, got 9"},
        {"1010,Pri,x,,0,,,", "pri must be a whole number from 0 to 255, got \"x\""},
        {" 1011 ,Spaced,0,,0,,,", "the pin \" 1011 \" has spaces around it"},
        {"01001,Zero,0,,0,,,", "duplicate pin 01001: the same number as pin 1001 on line 2"},
        {"1e3,Sci,0,,0,,,", "the pin \"1e3\" is not a number of 1 to 9 digits"},
        {std::string(300, '7') + ",Long,0,,0,,,",
         "the pin \"" + std::string(20, '7') + "...\" is not a number of 1 to 9 digits"},
        {"1012,Neg,-1,,0,,,", "pri must be a whole number from 0 to 255, got \"-1\""},
        {"1013," + std::string(10 << 20, 'N') + ",0,,0,,,",
         "name has 10485760 bytes, more than 32"},
        {"1014,Pw,0,123456789,0,,,", "passwd has 9 bytes, more than 8"},
        {"1015,Card,0,,0,4294967296,,", "card must be a number from 0 to 4294967295"},
        {"1016,\"Ada\nLovelace\",0,,0,,,", "name holds a line break or another control character"},
        {"1017,\"Open,",
         "a quoted field starts in this row and is not closed by the end of the file"},
    };
    std::string csv = kColumns + ",photo\n";
    for (const auto& row : rows) {
        csv += row[0] + "\n";
    }
    const Scratch bad("bad.csv", csv);
    const auto run = RunToEnd(simtest::Words(kTool + " " + atNobody + "sync-users " + bad.path +
                                             " -t T1 --max-photo-bytes 2000"),
                              60s);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_LT(run.output.size(), 10000u);  // the 10 MB name is not printed
    // A quoted field goes on across a line break (RFC 4180); the rows after it keep their lines.
    for (std::size_t i = 1, line = 3; i < std::size(rows); ++i) {
        EXPECT_CONTAINS(run.output, bad.path + ":" + std::to_string(line) + ": " + rows[i][1]);
        line += 1 + Occurrences(rows[i][0], "\n");
    }
    EXPECT_CONTAINS(run.output, std::to_string(std::size(rows) - 1) + " problem(s) in the input");
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
    EXPECT_EQ(slow.Stop(SIGTERM), 0);
}

// One run gives each kind of final state; a retry sends only what did not land, and not under the
// journal of the run it retries; removals end the same way.
TEST(CliSync, EveryUserOnEveryTerminalEndsInAFinalState)
{
    RunningSimulator sim({"--terminal", "T1", "--terminal", "T2", "--status", "setbiophoto=500"});
    ASSERT_GT(sim.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    const Scratch jpeg("face.jpg", kJpeg);
    const Scratch users("users.csv",
                        "name,photo,pri,passwd,verify,card,vicecard,pin\nAda,,0,,0,,,1\n"
                        "Bob," +
                            jpeg.path + ",0,,0,,,2\n");
    const Scratch report("report.csv", "");
    const Scratch journal("first.journal");
    const auto run = sim.Tool({"sync-users", users.path, "-t", "T1", "-t", "T2", "--report",
                               report.path, "--journal", journal.path, "--wait-results=20",
                               "--jobs", "3", "--skip-terminal-check"});
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
    ASSERT_EQ(sim.Tool({"bind", "T2", "2"}).exitCode, 0);
    const auto same = sim.Tool(
        {"sync-users", users.path, "--retry-failed", report.path, "--journal", journal.path});
    EXPECT_EQ(same.exitCode, 2) << same.output;
    EXPECT_CONTAINS(same.output, "give --retry-failed a new --journal");

    // Bound now: a retry sends only the pairs that are not done.
    const std::size_t before = sim.LogCount("/facepad/adduser 200", 4);
    const auto retry = sim.Tool({"sync-users", users.path, "--retry-failed", report.path,
                                 "--report", report.path, "--wait-results=20"});
    EXPECT_EQ(retry.exitCode, 1) << retry.output;
    EXPECT_EQ(sim.LogCount("/facepad/adduser 200", before + 3), before + 3);
    const std::string again = report.Contents();
    EXPECT_CONTAINS(again, "1,T2,done,");
    EXPECT_EQ(Occurrences(again, "\n1,T1,"), 0u) << again;

    // Leavers: one is gone already, which is where a removal wants them; unawaited ones are sent.
    const auto removed = sim.Tool({"remove-users", users.path, "-t", "T1,T9",
                                   "--skip-terminal-check", "--report", report.path});
    EXPECT_EQ(removed.exitCode, 0) << removed.output;
    EXPECT_CONTAINS(removed.output, "4 sent");
    EXPECT_CONTAINS(report.Contents(), "1,T9,sent,accepted; its result was not waited for");
    const auto gone = sim.Tool(
        {"remove-users", users.path, "-t", "T1", "--wait-results", "--report", report.path});
    EXPECT_EQ(gone.exitCode, 0) << gone.output;
    EXPECT_CONTAINS(gone.output, "4 result(s) of other commands were taken off the gateway");
    EXPECT_CONTAINS(report.Contents(), "2,T1,done,remove: was not on the terminal (code -1003");
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// Requests overlap: at 500 ms a request, eight users one after another would take 4 s (the bound
// leaves room for a sanitizer's start-up). The gateway hands out no result, so the wait ends with
// no-result.
TEST(CliSync, JobsSendThroughTheOneAdapterAtOnce)
{
    RunningSimulator sim(
        {"--terminal", "T1", "--latency", "500", "--status", "getresult=503", "--quiet"});
    ASSERT_GT(sim.port, 0);
    const Scratch users("jobs.csv", UsersCsv(8));
    const Scratch report("jobs-report.csv");
    const auto start = std::chrono::steady_clock::now();
    const auto run =
        sim.Tool({"sync-users", users.path, "-t", "T1", "--jobs", "8", "--skip-terminal-check"});
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_CONTAINS(run.output, "8 sent");
    const auto waited = sim.Tool({"sync-users", users.path, "-t", "T1", "--wait-results=1",
                                  "--skip-terminal-check", "--report", report.path});
    EXPECT_EQ(waited.exitCode, 1) << waited.output;
    EXPECT_EQ(Occurrences(report.Contents(), ",T1,no-result,no result within 1 s"), 8u);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

// SIGTERM while sending, then Ctrl-C while waiting (on a gateway that hands out no result): each
// run stops at once with a report that tells what went out from what did not, and the same journal
// finishes the work with each user sent exactly once.
TEST(CliSync, AnInterruptedSyncReportsWhatWentOutAndResumes)
{
    RunningSimulator sim({"--terminal", "T1", "--latency", "5"});
    RunningSimulator silent({"--terminal", "T1", "--status", "getresult=500", "--quiet"});
    ASSERT_GT(sim.port, 0);
    ASSERT_GT(silent.port, 0);
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    constexpr int kUsers = 200;
    const Scratch users("many.csv", UsersCsv(kUsers));
    const Scratch journal("journal.txt"), waitedJournal("waited.txt");
    const Scratch report("resumed.csv", "");
    // Each round is cut off once its journal holds this many accepted requests.
    for (const auto& [gateway, log, signal, accepted] :
         {std::tuple{&sim, &journal, SIGTERM, 20},
          std::tuple{&silent, &waitedJournal, SIGINT, kUsers}}) {
        SCOPED_TRACE(signal);
        Child run(gateway->ToolArgv({"sync-users", users.path, "-t", "T1", "--journal", log->path,
                                     "--report", report.path, "--jobs", "4", "--wait-results=60",
                                     "--skip-terminal-check"}));
        const auto count = static_cast<std::size_t>(accepted);
        ASSERT_GE(WaitForCount([&] { return log->Contents(); }, "accepted\t", count, 30s), count);
        run.Signal(signal);
        EXPECT_EQ(run.WaitExit(10s), 130);
        // "... the sync was interrupted before its result came" or "the wait ... was interrupted".
        const std::string rows = report.Contents();
        EXPECT_GE(Occurrences(rows, ",T1,sent,accepted; the ") + Occurrences(rows, ",T1,done,"),
                  count)
            << rows;
        EXPECT_EQ(Occurrences(rows, "no-result"), 0u);
        EXPECT_EQ(Occurrences(rows, ",T1,"), static_cast<std::size_t>(kUsers));
    }
    const auto last = sim.Tool({"sync-users", users.path, "-t", "T1", "--journal", journal.path,
                                "--report", report.path, "--wait-results=30"});
    EXPECT_EQ(last.exitCode, 0) << last.output;
    const std::string log = sim.child->Stderr();
    for (int i = 1; i <= kUsers; ++i) {
        EXPECT_EQ(Occurrences(log, "." + std::to_string(i) + ".user for T1"), 1u) << i;
    }
    EXPECT_EQ(Occurrences(report.Contents(), ",T1,done,"), static_cast<std::size_t>(kUsers));
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
