// facepad-sim-scale: how the simulator's state holds up at the size host developers load into it.
// Starts facepad-gateway-sim on a fresh state database, adds N users each with a photo over one
// keep-alive connection (draining results every 100 users, as a polling host does), then kills
// it with SIGKILL and times a restart on the same database. Prints the figures and exits 1 when
// one misses its target:
//   time per user over the last 1,000  <= 1.5 x that over the first 1,000
//   peak resident memory of the simulator <= 200 MB
//   restart until the first answer       <  2 s
// With --search it measures the page's user search instead (search_scale.cpp).
#include <httplib.h>
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <numeric>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "scale_simulator.h"
#include "search_scale.h"

namespace {

using Clock = std::chrono::steady_clock;
using Seconds = std::chrono::duration<double>;

constexpr int kWindow = 1000;  // users in the first and the last window compared
constexpr int kDrainEvery = 100;
constexpr double kGrowthLimit = 1.5;
constexpr double kMemoryLimitMb = 200.0;
constexpr double kRestartLimitS = 2.0;

struct Settings {
    std::string simulator;
    std::string directory;
    int users = 20000;
    std::size_t photoBytes = 30 * 1024;
};

using facepad::bench::Post;
using Simulator = facepad::bench::ScaleSimulator;

std::string UserBody(int i)
{
    const std::string pin = std::to_string(i);
    return "SN=T1\tid=" + pin + "\tdata={\"pin\":\"" + pin + "\",\"name\":\"User " + pin +
           "\",\"pri\":0,\"passwd\":\"\",\"verify\":0,\"card\":\"C" + pin + "\",\"vicecard\":\"\"}";
}

std::string PhotoBody(int i, const std::string& content)
{
    const std::string pin = std::to_string(i);
    return "SN=T1\tid=p" + pin + "\tdata={\"pin\":\"" + pin +
           "\",\"type\":9,\"size\":" + std::to_string(content.size()) + ",\"content\":\"" +
           content + "\",\"url\":\"\",\"format\":0}";
}

// Base64 letters, different per user, so that nothing compresses or repeats.
std::string PhotoContent(std::mt19937& random, std::size_t bytes)
{
    static const char alphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::uniform_int_distribution<int> pick(0, 63);
    std::string content(bytes, 'A');
    for (char& c : content) {
        c = alphabet[pick(random)];
    }
    return content;
}

// Seconds per user (one adduser and one setbiophoto), user by user.
std::vector<double> AddUsers(int port, const Settings& settings)
{
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);  // otherwise delayed ACKs, not the simulator, set the pace
    Post(client, "/facepad/binding", "SN=T1\tch=1");
    std::mt19937 random(7);
    std::vector<double> perUser;
    for (int i = 1; i <= settings.users; ++i) {
        const std::string photo = PhotoContent(random, settings.photoBytes);
        const auto started = Clock::now();
        Post(client, "/facepad/adduser", UserBody(i));
        Post(client, "/facepad/setbiophoto", PhotoBody(i, photo));
        perUser.push_back(Seconds(Clock::now() - started).count());
        if (i % kDrainEvery == 0) {
            Post(client, "/facepad/getresult", "");
        }
    }
    return perUser;
}

double MeanMs(std::vector<double>::const_iterator begin, std::vector<double>::const_iterator end)
{
    return std::accumulate(begin, end, 0.0) / static_cast<double>(end - begin) * 1000.0;
}

double FileMb(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 ? static_cast<double>(info.st_size) / 1e6 : 0.0;
}

bool Report(const char* figure, double value, const char* unit, bool met)
{
    std::printf("%-48s %10.2f %-4s %s\n", figure, value, unit, met ? "ok" : "MISSED");
    return met;
}

int Run(const Settings& settings)
{
    const std::string state = settings.directory + "/scale.db";
    facepad::bench::RemoveState(state);
    Simulator first(settings.simulator, settings.directory, state, {"T1"});
    const int port = first.WaitForPort();
    if (port == 0) {
        throw std::runtime_error("the simulator did not start");
    }
    const auto loadStarted = Clock::now();
    const std::vector<double> perUser = AddUsers(port, settings);
    const double loadSeconds = Seconds(Clock::now() - loadStarted).count();
    const double peakMb = first.PeakMemoryMb();
    first.Kill(SIGKILL);

    const auto restartStarted = Clock::now();
    Simulator second(settings.simulator, settings.directory, state, {"T1"});
    const int restartedPort = second.WaitForPort();
    httplib::Client client("127.0.0.1", restartedPort);
    Post(client, "/facepad/getavailable", "");
    const double restartSeconds = Seconds(Clock::now() - restartStarted).count();

    const int window = std::min(kWindow, settings.users);
    const double firstMs = MeanMs(perUser.begin(), perUser.begin() + window);
    const double lastMs = MeanMs(perUser.end() - window, perUser.end());
    std::printf("%d users with %zu-byte photos, %.1f s in all; database %.0f MB (+ WAL %.0f MB)\n",
                settings.users, settings.photoBytes, loadSeconds, FileMb(state),
                FileMb(state + "-wal"));
    std::printf("%-48s %10.3f ms\n", "time per user, first 1,000 (adduser+setbiophoto)", firstMs);
    std::printf("%-48s %10.3f ms\n", "time per user, last 1,000", lastMs);
    bool met = Report("last / first", lastMs / firstMs, "x", lastMs <= kGrowthLimit * firstMs);
    met &= Report("peak resident memory of the simulator", peakMb, "MB", peakMb <= kMemoryLimitMb);
    met &= Report("restart after SIGKILL until the first answer", restartSeconds, "s",
                  restartSeconds < kRestartLimitS);
    return met ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    const auto search = std::find(args.begin(), args.end(), "--search");
    const bool searching = search != args.end();
    if (searching) {
        args.erase(search);
    }
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: %s SIMULATOR SCRATCH_DIR [USERS] [--search]\n", argv[0]);
        return 2;
    }
    Settings settings;
    settings.simulator = args[0];
    settings.directory = args[1];
    if (args.size() > 2) {
        settings.users = std::stoi(args[2]);
    }
    try {
        return searching ? facepad::bench::RunSearchScale(settings.simulator, settings.directory,
                                                          settings.users)
                         : Run(settings);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "facepad-sim-scale: %s\n", error.what());
        return 2;
    }
}
