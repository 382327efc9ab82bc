// The simulator as a recording front before a real gateway (another simulator here): a sync goes
// through it to the gateway, its journal holds both sides, and the recording, played back,
// answers what was recorded and names what was not.
#include <httplib.h>
#include <json-c/json.h>

#include <csignal>

#include "running_simulator.h"

namespace {

using simtest::RunningSimulator;

constexpr int kUsers = 20;

json_object* GetJson(int port, const std::string& path)
{
    httplib::Client client("127.0.0.1", port);
    const auto reply = client.Get(path.c_str());
    return reply ? json_tokener_parse(reply->body.c_str()) : nullptr;
}

const char* TextAt(json_object* object, const char* key)
{
    return json_object_get_string(json_object_object_get(object, key));
}

TEST(RecordingFront, RelaysASyncRecordsBothSidesAndPlaysTheRecordingBack)
{
    RunningSimulator gateway({"--terminal", "T1", "--quiet"});
    const simtest::Scratch recording("front.recording");
    RunningSimulator front({"--upstream", "http://127.0.0.1:" + std::to_string(gateway.port),
                            "--record", recording.path});
    ASSERT_EQ(front.Tool({"bind", "T1", "1"}).exitCode, 0);
    std::string csv = "pin,name,pri,passwd,verify,card,vicecard\n";
    for (int i = 1; i <= kUsers; ++i) {
        csv += std::to_string(i) + ",User " + std::to_string(i) + ",0,,0,,\n";
    }
    const simtest::Scratch users("front-users.csv", csv);
    const simtest::Finished synced =
        front.Tool({"sync-users", users.path, "-t", "T1", "--wait-results=30", "--no-progress"});
    EXPECT_EQ(synced.exitCode, 0) << synced.output;
    EXPECT_CONTAINS(synced.output, std::to_string(kUsers) + " done\nnext: nothing to do");
    const simtest::Finished listed = front.Tool({"available"});

    // The gateway behind holds every user; the front's journal, each request and its answer.
    json_object* state = GetJson(gateway.port, "/_sim/state");
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(json_object_get_int(
                  json_object_object_get(json_object_object_get(state, "summary"), "users")),
              kUsers);
    json_object_put(state);
    json_object* journal = GetJson(front.port, "/_sim/journal?path=facepad/adduser");
    ASSERT_NE(journal, nullptr);
    json_object* entries = json_object_object_get(journal, "entries");
    ASSERT_EQ(json_object_array_length(entries), static_cast<std::size_t>(kUsers));
    for (std::size_t i = 0; i < kUsers; ++i) {
        json_object* entry = json_object_array_get_idx(entries, i);
        json_object* data = json_object_object_get(json_object_object_get(entry, "fields"), "data");
        EXPECT_STRNE(TextAt(data, "pin"), "");
        EXPECT_EQ(json_object_get_int(json_object_object_get(entry, "status")), 200);
        EXPECT_CONTAINS(std::string(TextAt(entry, "answer")), " for T1 queued");
    }
    json_object_put(journal);
    EXPECT_EQ(front.Stop(SIGTERM), 0);

    // Played back: what was asked is answered as the gateway did; what was not, says so.
    RunningSimulator replay({"--replay", recording.path});
    const simtest::Finished again = replay.Tool({"available"});
    EXPECT_EQ(again.exitCode, 0);
    EXPECT_EQ(again.output, listed.output);
    EXPECT_EQ(replay.Tool({"bind", "T1", "1"}).exitCode, 0);
    const simtest::Finished unknown = replay.Tool({"status", "T9"});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_CONTAINS(unknown.output, "HTTP 404: no recording in " + recording.path +
                                        " for /facepad/getterminalstatus");
    EXPECT_EQ(replay.LogCount("POST /facepad/getterminalstatus 404 in=5B [fault: no recording]", 1),
              1u);
    EXPECT_EQ(replay.Stop(SIGTERM), 0);
    EXPECT_CONTAINS(replay.child->Stderr(), "1 request(s) had no recording");
}

}  // namespace
