// The reverse proxy settings of docs/transport.md, read from the page as printed, with Debian's
// nginx and HAProxy in front of the simulator: a sync of users, one with a photo of the tool's
// largest size, ends with every user done and no command carried out twice, and doctor warns of
// nothing.
#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>

#include "reverse_proxy.h"
#include "running_simulator.h"

namespace {

using namespace std::chrono_literals;
using simtest::Occurrences;
using simtest::ReverseProxy;

constexpr int kUsers = 30;

// The code block in `language` of the page's "Behind a reverse proxy" section.
std::string DocBlock(const std::string& language)
{
    std::ifstream file(FACEPAD_SOURCE_DIR "/docs/transport.md");
    std::stringstream page;
    page << file.rdbuf();
    const std::string text = page.str();
    const std::string open = "```" + language + "\n";
    const std::size_t start = text.find(open, text.find("## Behind a reverse proxy"));
    if (start == std::string::npos) {
        return std::string();
    }
    return text.substr(start + open.size(), text.find("```\n", start + 1) - start - open.size());
}

// `text` with its one `from` replaced: a block that changed shape fails the test, never drifts.
std::string Replaced(std::string text, const std::string& from, const std::string& to)
{
    EXPECT_EQ(Occurrences(text, from), 1u) << "\"" << from << "\" in:\n" << text;
    const std::size_t at = text.find(from);
    return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST(ProxyProfiles, TheDocsSettingsCarryASyncWithoutFalseFailuresOrCommandsDoneTwice)
{
    if (!simtest::Nginx::Installed() || !simtest::Haproxy::Installed()) {
        GTEST_SKIP() << "nginx or haproxy is missing: scripts/bootstrap installs both";
    }
    simtest::RunningSimulator sim({"--terminal", "T1"});
    ASSERT_EQ(sim.Tool({"bind", "T1", "1"}).exitCode, 0);
    const std::string gateway = "127.0.0.1:" + std::to_string(sim.port);
    const simtest::Scratch photo("largest.jpg",
                                 "\xFF\xD8\xFF" + std::string(8 * 1024 * 1024 - 3, 'x'));
    std::string csv = "pin,name,pri,passwd,verify,card,vicecard,photo\n";
    for (int i = 1; i <= kUsers; ++i) {
        csv += std::to_string(i) + ",User " + std::to_string(i) + ",0,,0,,," +
               (i == 1 ? photo.path.substr(photo.path.rfind('/') + 1) : "") + "\n";
    }
    const simtest::Scratch users("proxied-users.csv", csv);

    struct Profile {
        const char* name;
        std::function<std::unique_ptr<ReverseProxy>(int port)> start;
    };
    // The doc's two addresses become the test's: the proxy's port, the simulator's.
    const auto settings = [&](const char* language, int port) {
        return Replaced(Replaced(DocBlock(language), "*:8080", "127.0.0.1:" + std::to_string(port)),
                        "127.0.0.1:10001", gateway);
    };
    const Profile profiles[] = {
        {"nginx",
         [&](int port) {
             return std::make_unique<simtest::Nginx>(settings("nginx", port),
                                                     std::vector<int>{port});
         }},
        {"haproxy",
         [&](int port) {
             return std::make_unique<simtest::Haproxy>(settings("haproxy", port),
                                                       std::vector<int>{port});
         }},
    };
    for (const Profile& profile : profiles) {
        const int proxyPort = simtest::FreeLoopbackPort();
        const auto proxy = profile.start(proxyPort);
        const std::string port = std::to_string(proxyPort);
        ASSERT_EQ(proxy->Problem(), "") << profile.name;
        const simtest::Finished synced =
            simtest::RunToEnd(simtest::Words(simtest::kTool + " --port " + port + " sync-users " +
                                             users.path + " -t T1 --wait-results=30 --no-progress"),
                              60s);
        EXPECT_EQ(synced.exitCode, 0) << profile.name << "\n" << synced.output;
        EXPECT_CONTAINS(synced.output, std::to_string(kUsers) + " done\nnext: nothing to do");
        const simtest::Finished doctor = simtest::RunToEnd(
            simtest::Words(simtest::kTool + " --port " + port + " doctor --idle-seconds 1"), 60s);
        EXPECT_EQ(doctor.exitCode, 0) << profile.name << "\n" << doctor.output;
        EXPECT_CONTAINS(doctor.output, "[ok] front: a proxy or web server answers in front");
        EXPECT_CONTAINS(doctor.output, "saying Keep-Alive: timeout=75;");
    }
    // One sync through each proxy: every command reached the gateway once per sync.
    sim.LogCount("POST /facepad/adduser 200", 2 * kUsers);
    const std::string log = sim.child->Stderr();
    for (int i = 1; i <= kUsers; ++i) {
        EXPECT_EQ(Occurrences(log, "." + std::to_string(i) + ".user for T1"), 2u) << i;
    }
    EXPECT_EQ(Occurrences(log, ".1.photo for T1"), 2u);
    EXPECT_EQ(sim.Stop(SIGTERM), 0);
}

}  // namespace
