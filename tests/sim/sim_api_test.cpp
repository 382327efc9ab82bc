// The /_sim/ API without sockets: which inputs it refuses and why, what the controls do to the
// gateway paths' answers, and what the state document shows.
#include "sim_api.h"

#include <json-c/json.h>

#include "gateway_test.h"

namespace {

using facepad::sim::ApiReply;
using facepad::sim::ApiRequest;
using facepad::sim::RequestJournal;
using facepad::sim::SimApi;
using Params = std::multimap<std::string, std::string>;

// A 1x1 GIF, base64.
constexpr char kGifBase64[] = "R0lGODlhAQABAIAAAAAAAP///yH5BAEAAAAALAAAAAABAAEAAAIBRAA7";

class SimApiTest : public ::testing::Test {
protected:
    ApiReply Call(const std::string& method, const std::string& path, Params params = {})
    {
        return api.Serve(ApiRequest{method, path, std::move(params)});
    }
    ApiReply Control(const std::string& path, Params params = {})
    {
        return Call("POST", path, std::move(params));
    }
    void Post(const std::string& path, const std::string& body)
    {
        const auto reply = gateway.Handle(path, body);
        ASSERT_EQ(reply.status, 200) << path << ": " << reply.body;
    }
    // A member of the state document, found by a path of keys and array indexes.
    std::string StateAt(const std::vector<std::string>& keys, Params params = {})
    {
        const ApiReply reply = Call("GET", "/_sim/state", std::move(params));
        EXPECT_EQ(reply.status, 200) << reply.body;
        json_object* document = json_tokener_parse(reply.body.c_str());
        json_object* at = document;
        bool found = document != nullptr;
        for (const std::string& key : keys) {
            if (json_object_is_type(at, json_type_array)) {
                found = found && std::stoul(key) < json_object_array_length(at);
                at = found ? json_object_array_get_idx(at, std::stoul(key)) : nullptr;
            } else {
                found = found && json_object_object_get_ex(at, key.c_str(), &at);
            }
        }
        // A JSON null is a null pointer to json-c; to_json_string writes it as "null".
        std::string text = found ? json_object_to_json_string_ext(
                                       at, JSON_C_TO_STRING_PLAIN | JSON_C_TO_STRING_NOSLASHESCAPE)
                                 : "(missing)";
        json_object_put(document);
        return text;
    }

    Gateway gateway{{{"T1", true}, {"OFF", false}}};
    RequestJournal journal{10};
    SimApi api{gateway.State(), journal};
};

TEST_F(SimApiTest, EveryInputIsCheckedAndARefusalSaysWhy)
{
    struct Case {
        std::string call;  // method and path
        Params params;
        int status;
        std::string reason;  // part of the body
    };
    const Case cases[] = {
        {"POST /_sim/disconnect", {{"terminal", "T9"}}, 400, "unknown terminal T9"},
        {"POST /_sim/disconnect", {}, 400, "terminal is missing"},
        {"POST /_sim/connect",
         {{"terminal", "T1"}, {"terminal", "T1"}},
         400,
         "given more than once"},
        {"POST /_sim/connect", {{"serial", "T1"}}, 400, "unknown parameter \"serial\" for"},
        {"POST /_sim/next-result",
         {{"terminal", "T1"}, {"code", "x"}},
         400,
         "code must be a whole number such as 0 or -1003, got \"x\""},
        {"POST /_sim/next-result", {{"terminal", "T1"}, {"code", "99999999999"}}, 400, "whole"},
        {"POST /_sim/next-result", {{"terminal", "T9"}, {"code", "-1"}}, 400, "unknown terminal"},
        {"GET /_sim/journal", {{"since", "-1"}}, 400, "since must be a journal number"},
        {"GET /_sim/journal", {{"since", "abc"}}, 400, "got \"abc\""},
        {"GET /_sim/photo", {{"terminal", "T1"}, {"pin", "1"}, {"type", "x"}}, 400, "numeric type"},
        {"GET /_sim/photo",
         {{"terminal", "T1"}, {"pin", "1"}, {"type", "9"}},
         404,
         "no photo of type 9 for user 1 on terminal T1"},
        {"GET /_sim/reset", {}, 405, "it takes POST"},
        {"POST /_sim/state", {}, 405, "it takes GET"},
        {"GET /_sim/nothing", {}, 404, "no such simulator path /_sim/nothing"},
    };
    for (const Case& c : cases) {
        const auto space = c.call.find(' ');
        const ApiReply reply = Call(c.call.substr(0, space), c.call.substr(space + 1), c.params);
        EXPECT_EQ(reply.status, c.status) << c.call << ": " << reply.body;
        EXPECT_NE(reply.body.find(c.reason), std::string::npos) << c.call << ": " << reply.body;
    }
    EXPECT_EQ(Call("GET", "/_sim/reset").allow, "POST");
}

TEST_F(SimApiTest, DisconnectAndConnectChangeWhatTheGatewayPathsReport)
{
    Post(endpoint::kBinding, "SN=T1\tch=1");
    ASSERT_EQ(Control("/_sim/disconnect", {{"terminal", "T1"}}).status, 200);
    const auto offline = gateway.Handle(endpoint::kGetTerminalStatus, "SN=T1");
    EXPECT_EQ(offline.body, "Data=[{\"sn\":\"T1\",\"connstatus\":0}]");
    Post(endpoint::kAddUser, CommandBody("T1", "1", simtest::UserJson("7", "A")));
    EXPECT_EQ(StateAt({"terminals", "1", "serial"}), "\"T1\"");  // terminals in serial order
    EXPECT_EQ(StateAt({"terminals", "1", "connected"}), "false");

    ASSERT_EQ(Control("/_sim/connect", {{"terminal", "OFF"}}).status, 200);
    ASSERT_EQ(Control("/_sim/connect", {{"terminal", "T1"}}).status, 200);
    const auto online = gateway.Handle(endpoint::kGetTerminalStatus, "SN=OFF");
    EXPECT_EQ(online.body, "Data=[{\"sn\":\"OFF\",\"connstatus\":1}]");
    Post(endpoint::kAddUser, CommandBody("T1", "2", simtest::UserJson("7", "A")));
    EXPECT_EQ(DrainResults(gateway),
              (std::vector<Result>{{"T1", "1", code::kTerminalOffline}, {"T1", "2", code::kDone}}));
}

TEST_F(SimApiTest, AForcedCodeReplacesTheNextResultOnceAndChangesNothing)
{
    Post(endpoint::kBinding, "SN=T1\tch=1");
    ASSERT_EQ(Control("/_sim/next-result", {{"terminal", "T1"}, {"code", "-1"}}).status, 200);
    // A later code replaces the earlier one.
    ASSERT_EQ(Control("/_sim/next-result", {{"terminal", "T1"}, {"code", "-1005"}}).status, 200);
    EXPECT_EQ(StateAt({"terminals", "1", "nextResult"}), "\"-1005\"");
    Post(endpoint::kAddUser, CommandBody("T1", "1", simtest::UserJson("7", "A")));
    Post(endpoint::kAddUser, CommandBody("T1", "2", simtest::UserJson("8", "B")));
    // Forced even where the terminal itself would have answered otherwise.
    ASSERT_EQ(Control("/_sim/next-result", {{"terminal", "OFF"}, {"code", "0"}}).status, 200);
    Post(endpoint::kControlDevice, "SN=OFF\tid=3\tcmd=AC_UNLOCK\tdata=");
    EXPECT_EQ(DrainResults(gateway),
              (std::vector<Result>{
                  {"T1", "1", "-1005"}, {"T1", "2", code::kDone}, {"OFF", "3", code::kDone}}));
    EXPECT_EQ(StateAt({"terminals", "1", "nextResult"}), "null");
    EXPECT_EQ(StateAt({"users", "items", "0", "pin"}), "\"8\"")
        << "the command that carried the forced code must not have added user 7";
    EXPECT_EQ(StateAt({"users", "items", "1"}), "(missing)");
    EXPECT_EQ(StateAt({"unlocks"}), "[]");
}

TEST_F(SimApiTest, ResetReturnsToTheCommandLineAndEmptiesTheJournal)
{
    Post(endpoint::kBinding, "SN=T1\tch=1");
    Post(endpoint::kAddUser, CommandBody("T1", "1", simtest::UserJson("7", "A")));
    Post(endpoint::kSetPort, "port=10001\treset1");
    ASSERT_EQ(Control("/_sim/disconnect", {{"terminal", "T1"}}).status, 200);
    ASSERT_EQ(Control("/_sim/connect", {{"terminal", "OFF"}}).status, 200);
    ASSERT_EQ(Control("/_sim/next-result", {{"terminal", "T1"}, {"code", "-1"}}).status, 200);
    journal.Record({"POST", "/facepad/binding", "SN=T1\tch=1", 200, "", ""});
    const std::string versionBefore = StateAt({"version"});

    ASSERT_EQ(Control("/_sim/reset").status, 200);
    Gateway fresh{{{"T1", true}, {"OFF", false}}};
    const std::string freshState =
        SimApi{fresh.State(), journal}.Serve({"GET", "/_sim/state", {}}).body;
    EXPECT_NE(freshState.find(StateAt({"terminals"})), std::string::npos) << freshState;
    EXPECT_EQ(StateAt({"pendingResults"}), "[]");
    EXPECT_EQ(StateAt({"settings", "listenPort"}), "\"\"");
    EXPECT_TRUE(journal.Read({}).entries.empty());
    EXPECT_GT(std::stoull(StateAt({"version"})), std::stoull(versionBefore));
}

TEST_F(SimApiTest, StateShowsUsersPhotosAsImagesUnlocksAndTheResultQueue)
{
    Post(endpoint::kBinding, "SN=T1\tch=4");
    Post(endpoint::kAddUser, CommandBody("T1", "1", simtest::UserJson("7 a", "Ada", 2, 1)));
    Post(endpoint::kSetBioPhoto, CommandBody("T1", "2", simtest::PhotoJson("7 a", 9, kGifBase64)));
    Post(endpoint::kControlDevice, "SN=T1\tid=3\tcmd=AC_UNLOCK\tdata=");
    EXPECT_EQ(StateAt({"terminals", "1", "channel"}), "4");
    EXPECT_EQ(StateAt({"terminals", "1", "doorsOpened"}), "1");
    EXPECT_EQ(
        StateAt({"users", "items", "0"}),
        "{\"terminal\":\"T1\",\"pin\":\"7 "
        "a\",\"name\":\"Ada\",\"pri\":2,\"passwd\":\"pw\",\"verify\":1,"
        "\"card\":\"C1\",\"vicecard\":\"C2\",\"photos\":[{\"type\":9,\"size\":56,"
        "\"format\":0,\"url\":\"\",\"image\":\"/_sim/photo?terminal=T1&pin=7%20a&type=9\"}]}");
    EXPECT_EQ(StateAt({"unlocks"}), "[{\"terminal\":\"T1\",\"id\":\"3\"}]");
    EXPECT_EQ(StateAt({"pendingResults", "2"}),
              "{\"terminal\":\"T1\",\"id\":\"3\",\"return\":\"0\",\"meaning\":\"done\"}");

    const ApiReply image =
        Call("GET", "/_sim/photo", {{"terminal", "T1"}, {"pin", "7 a"}, {"type", "9"}});
    EXPECT_EQ(image.status, 200) << image.body;
    EXPECT_EQ(image.contentType, "image/gif");
    EXPECT_EQ(image.body.substr(0, 6), "GIF89a");

    Post(endpoint::kSetBioPhoto, CommandBody("T1", "4", simtest::PhotoJson("7 a", 3, "not*b64")));
    EXPECT_EQ(
        Call("GET", "/_sim/photo", {{"terminal", "T1"}, {"pin", "7 a"}, {"type", "3"}}).status,
        422);
}

// However many users there are, one request returns one page of them, the counts and a bounded
// list of results.
TEST_F(SimApiTest, StateIsPagedFilteredAndCounted)
{
    Post(endpoint::kBinding, "SN=T1\tch=1");
    Post(endpoint::kBinding, "SN=OFF\tch=2");
    ASSERT_EQ(Control("/_sim/connect", {{"terminal", "OFF"}}).status, 200);
    for (int i = 0; i < 255; ++i) {
        const std::string pin = std::to_string(1000 + i);
        const std::string name = (i < 250 ? "User " : "ZOË MÜLLER ") + std::to_string(i);
        Post(endpoint::kAddUser, CommandBody(i < 250 ? "T1" : "OFF", pin, UserJson(pin, name)));
    }
    struct Case {
        Params params;
        std::string total;  // users that match
        std::string first;  // pin of the first listed, as JSON
        std::string last;   // of the 100th (the 50th with limit 1000), or "(missing)"
    };
    const Case cases[] = {
        {{}, "255", "\"1250\"", "\"1094\""},  // OFF sorts before T1
        {{{"terminal", "OFF"}}, "5", "\"1250\"", "(missing)"},
        {{{"search", "uSER 12"}}, "11", "\"1012\"", "(missing)"},  // User 12, 120 to 129
        {{{"search", "%"}}, "0", "(missing)", "(missing)"},
        {{{"search", "zoe muller"}}, "5", "\"1250\"", "(missing)"},  // case and accents aside
        {{{"search", "Mu\xCC\x88ller 253"}}, "1", "\"1253\"", "(missing)"},  // a combining mark
        {{{"pin", "1150"}}, "255", "\"1095\"", "\"1194\""},  // the page holding the pin
        {{{"search", "1"}, {"pin", "1252"}, {"limit", "2"}}, "255", "\"1252\"", "(missing)"},
        {{{"terminal", "T1"}, {"offset", "200"}, {"limit", "1000"}}, "250", "\"1200\"", "\"1249\""},
    };
    for (const Case& c : cases) {
        const std::string last = c.params.count("limit") ? "49" : "99";
        EXPECT_EQ(StateAt({"users", "total"}, c.params), c.total);
        EXPECT_EQ(StateAt({"users", "items", "0", "pin"}, c.params), c.first);
        EXPECT_EQ(StateAt({"users", "items", last, "pin"}, c.params), c.last);
    }
    EXPECT_EQ(StateAt({"summary"}),
              "{\"terminals\":2,\"connected\":2,\"bound\":2,\"users\":255,\"photos\":0,"
              "\"unlocks\":0,\"pendingResults\":255}");
    EXPECT_EQ(StateAt({"users", "offset"}, {{"pin", "1150"}}), "100");
    EXPECT_EQ(StateAt({"users", "pinFound"}, {{"pin", "999"}}), "false");
    EXPECT_EQ(StateAt({"pendingResults", "99", "id"}), "\"1099\"");
    EXPECT_EQ(StateAt({"pendingResults", "100"}), "(missing)");
    for (const Params& bad :
         {Params{{"limit", "0"}}, Params{{"limit", "1001"}}, Params{{"offset", "-1"}},
          Params{{"offset", "x"}}, Params{{"terminal", "T9"}}}) {
        EXPECT_EQ(Call("GET", "/_sim/state", bad).status, 400) << bad.begin()->first;
    }
}

TEST_F(SimApiTest, ThePageAndItsFilesComeFromTheBinary)
{
    for (const auto& [path, type, marker] :
         {std::tuple<const char*, const char*, const char*>{"/", "text/html", "/_sim/page.js"},
          {"/_sim/page.js", "text/javascript", "/_sim/journal"},
          {"/_sim/page.css", "text/css", "img.photo"}}) {
        const ApiReply reply = Call("GET", path);
        EXPECT_EQ(reply.status, 200) << path;
        EXPECT_EQ(reply.contentType.rfind(type, 0), 0u) << path << ": " << reply.contentType;
        EXPECT_NE(reply.body.find(marker), std::string::npos) << path;
        EXPECT_EQ(reply.body.find("http"), std::string::npos)
            << path << " must load nothing outside";
    }
}

}  // namespace
