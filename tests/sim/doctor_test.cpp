// facepad-cli doctor against what a site may have in place of a plain gateway: nothing at all, a
// gateway that closes idle connections early without saying so (nginx answering for it), a proxy
// whose gateway is down, a body limit below a photo's. (Through the proxy settings of the docs:
// proxy_profiles_test.cpp.)
#include <gtest/gtest.h>
#include <json-c/json.h>

#include <csignal>

#include "reverse_proxy.h"
#include "running_simulator.h"

namespace {

using namespace std::chrono_literals;
using simtest::FreeLoopbackPort;
using simtest::Occurrences;
using simtest::RunningSimulator;

// The verdict `doctor --json` gave `check`, or "" when it did not run that check.
std::string VerdictOf(json_object* document, const std::string& check)
{
    json_object* checks = json_object_object_get(document, "checks");
    for (std::size_t i = 0; i < json_object_array_length(checks); ++i) {
        json_object* each = json_object_array_get_idx(checks, i);
        if (json_object_get_string(json_object_object_get(each, "check")) == check) {
            return json_object_get_string(json_object_object_get(each, "verdict"));
        }
    }
    return std::string();
}

TEST(Doctor, NamesWhatStandsBetweenTheHostAndTheGatewayAndChangesNothing)
{
    if (!simtest::Nginx::Installed()) {
        GTEST_SKIP() << simtest::Nginx::kBinary << " is missing: scripts/bootstrap installs it";
    }
    RunningSimulator sim({"--terminal", "T1"});
    RunningSimulator capped({"--payload-cap", "100000", "--quiet"});
    const std::string early = std::to_string(FreeLoopbackPort());
    const std::string down = std::to_string(FreeLoopbackPort());
    const simtest::Nginx nginx(
        "server { listen 127.0.0.1:" + early + "; keepalive_timeout 1s;\n" +
            "  location / { return 200 'Data=[]'; } }\n" + "server { listen 127.0.0.1:" + down +
            "; location / { proxy_pass http://127.0.0.1:" + std::to_string(FreeLoopbackPort()) +
            "; } }\n",
        {std::stoi(early), std::stoi(down)});
    ASSERT_EQ(nginx.Problem(), "");
    struct Case {
        std::string port;
        std::string options;
        int exitCode;
        std::vector<std::pair<std::string, std::string>> verdicts;
        std::string found;
    };
    const Case cases[] = {
        {std::to_string(sim.port),
         "--idle-seconds 1",
         0,
         {{"answer", "ok"}, {"front", "ok"}, {"keep-alive", "ok"}, {"time-outs", "ok"}},
         "the gateway itself"},
        {std::to_string(FreeLoopbackPort()),
         "--idle-seconds 1",
         3,
         {{"connect", "unreachable"}},
         "refused"},
        {early,
         "--idle-seconds 3",
         1,
         {{"answer", "ok"}, {"keep-alive", "warning"}},
         "an idle connection was closed after 1."},
        {down,
         "--idle-seconds 1",
         3,
         {{"answer", "unreachable"}},
         "HTTP 502 (502 Bad Gateway) from a proxy"},
        {std::to_string(capped.port),
         "--idle-seconds 1 --max-body",
         1,
         {{"keep-alive", "ok"}, {"body", "warning"}},
         "was refused with HTTP 413"},
    };
    for (const Case& c : cases) {
        const simtest::Finished run = simtest::RunToEnd(
            simtest::Words(simtest::kTool + " --json --port " + c.port + " doctor " + c.options),
            60s);
        EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
        EXPECT_CONTAINS(run.output, c.found);
        json_object* document = json_tokener_parse(run.output.c_str());
        ASSERT_NE(document, nullptr) << run.output;
        for (const auto& [check, verdict] : c.verdicts) {
            EXPECT_EQ(VerdictOf(document, check), verdict) << check << "\n" << run.output;
        }
        json_object_put(document);
    }
    sim.LogCount("POST /facepad/getavailable", 6);
    const std::string log = sim.child->Stderr();
    EXPECT_EQ(Occurrences(log, "POST /facepad/"), Occurrences(log, "POST /facepad/getavailable"));
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
