// The page's user search at the size of a site: loads the users (named as people are, "Zoë Müller,
// N", with seven-digit pins) over 50 terminals into a simulator with its state on disk, through
// facepad/adduser as a host sends them (over four connections), then times each state fetch the
// page makes when it searches, jumps to a pin or a page, or filters by terminal. Each fetch is made
// three times and the slowest counts. Targets: at most 0.5 s up to 100,000 users, at most 2 s up to
// 1,000,000.
#include "search_scale.h"

#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <future>
#include <stdexcept>
#include <utility>
#include <vector>

#include "scale_simulator.h"

namespace facepad::bench {

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kTerminals = 50;
constexpr int kLoaders = 4;
constexpr int kDrainEvery = 1000;  // results taken as a polling host takes them
constexpr int kReportEvery = 100000;
constexpr int kRepeats = 3;
constexpr int kPageSize = 100;  // the page's
constexpr int kSmallSite = 100000;
constexpr double kSmallSiteLimitS = 0.5;
constexpr double kLargeSiteLimitS = 2.0;

std::string Serial(int i)
{
    char text[8];
    std::snprintf(text, sizeof text, "T%02d", i % kTerminals + 1);
    return text;
}

std::string Pin(int i)
{
    char text[16];
    std::snprintf(text, sizeof text, "%07d", i);
    return text;
}

std::string UserBody(int i)
{
    return "SN=" + Serial(i) + "\tid=" + std::to_string(i) + "\tdata={\"pin\":\"" + Pin(i) +
           "\",\"name\":\"Zoë Müller, " + std::to_string(i) +
           "\",\"pri\":0,\"passwd\":\"\",\"verify\":0,\"card\":\"\",\"vicecard\":\"\"}";
}

std::vector<std::string> Terminals()
{
    std::vector<std::string> serials;
    for (int t = 0; t < kTerminals; ++t) {
        serials.push_back(Serial(t));
    }
    return serials;
}

// One of kLoaders connections: users first, first + kLoaders, ... (the simulator commits one at a
// time; the connections only keep it busy while each waits for its answer).
void LoadShare(int port, int users, int first)
{
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    for (int i = first; i <= users; i += kLoaders) {
        Post(client, "/facepad/adduser", UserBody(i));
        if (i % kDrainEvery == 0) {
            Post(client, "/facepad/getresult", "");
        }
        if (i % kReportEvery == 0) {
            std::fprintf(stderr, "  %d users loaded\n", i);
        }
    }
}

void Load(int port, int users)
{
    httplib::Client client("127.0.0.1", port);
    for (int t = 0; t < kTerminals; ++t) {
        Post(client, "/facepad/binding", "SN=" + Serial(t) + "\tch=" + std::to_string(t + 1));
    }
    std::vector<std::future<void>> loaders;
    for (int first = 1; first <= kLoaders; ++first) {
        loaders.push_back(std::async(std::launch::async, LoadShare, port, users, first));
    }
    for (auto& loader : loaders) {
        loader.get();  // rethrows a failed post
    }
    while (true) {
        const auto drained = client.Post("/facepad/getresult", "", "text/plain");
        if (!drained || drained->status != 200 || drained->body == "result=[]") {
            break;
        }
    }
}

std::string Encoded(const std::string& text)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if ((byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') ||
            (byte >= 'A' && byte <= 'Z')) {
            encoded += c;
        } else {
            encoded += {'%', hex[byte >> 4], hex[byte & 15]};
        }
    }
    return encoded;
}

// The page's fetches: what each does, and its query.
std::vector<std::pair<std::string, std::string>> Fetches(int users)
{
    const std::string one = "MULLER, " + std::to_string(users - 7);
    const int lastPage = (users - 1) / kPageSize * kPageSize;
    return {
        {"first page, no search", ""},
        {"search \"" + one + "\" (1 user: case, accent)", "search=" + Encoded(one)},
        {"search \"zoe\" (every user)", "search=zoe"},
        {"search \"nobody\" (no user)", "search=nobody"},
        {"search \"12345\" (pins and names)", "search=12345"},
        {"terminal T07, search \"muller\"", "terminal=T07&search=muller"},
        {"jump to the last pin, " + Pin(users), "pin=" + Pin(users)},
        {"last page, offset " + std::to_string(lastPage), "offset=" + std::to_string(lastPage)},
    };
}

// The slowest of kRepeats fetches of /_sim/state with `query`, as the page makes it.
double SlowestFetch(httplib::Client& client, const std::string& query)
{
    double slowest = 0.0;
    for (int repeat = 0; repeat < kRepeats; ++repeat) {
        const auto started = Clock::now();
        const auto reply = client.Get(("/_sim/state?limit=100&" + query).c_str());
        if (!reply || reply->status != 200) {
            throw std::runtime_error("/_sim/state?" + query + " failed: " +
                                     (reply ? reply->body : httplib::to_string(reply.error())));
        }
        slowest = std::max(slowest, Seconds(Clock::now() - started).count());
    }
    return slowest;
}

std::string LoadAverage()
{
    std::ifstream file("/proc/loadavg");
    std::string one, five, fifteen;
    file >> one >> five >> fifteen;
    return one + " " + five + " " + fifteen;
}

double FileMb(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0.0;
}

}  // namespace

int RunSearchScale(const std::string& simulator, const std::string& directory, int users)
{
    const std::string state = directory + "/search.db";
    RemoveState(state);
    ScaleSimulator sim(simulator, directory, state, Terminals());
    const int port = sim.WaitForPort();
    if (port == 0) {
        throw std::runtime_error("the simulator did not start");
    }
    std::printf("load average before loading: %s\n", LoadAverage().c_str());
    const auto loadStarted = Clock::now();
    Load(port, users);
    std::printf("%d users on %d terminals loaded in %.1f s; database %.0f MB\n", users, kTerminals,
                Seconds(Clock::now() - loadStarted).count(), FileMb(state));
    std::printf("load average before searching: %s\n", LoadAverage().c_str());

    const double limit = users <= kSmallSite ? kSmallSiteLimitS : kLargeSiteLimitS;
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_read_timeout(60, 0);
    bool met = true;
    for (const auto& [what, query] : Fetches(users)) {
        const double seconds = SlowestFetch(client, query);
        const bool ok = seconds <= limit;
        std::printf("%-52s %8.3f s  %s (target <= %.1f)\n", what.c_str(), seconds,
                    ok ? "ok" : "MISSED", limit);
        met &= ok;
    }
    std::printf("peak resident memory of the simulator %15.1f MB\n", sim.PeakMemoryMb());
    std::fflush(stdout);
    sim.Kill(SIGTERM);
    RemoveState(state);
    return met ? 0 : 1;
}

}  // namespace facepad::bench
