// The smallest complete host: bind a terminal, add one user to it and wait for the terminal's
// result of that command.
//   minimal_host [port] [terminal serial]        (defaults: 10001, FACE-0001)
// Exit status 0 when the terminal reported "0" (done), 1 otherwise.
#include <CLS_VurodoroViri_Druvel.h>
#include <ox_toolkit.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <mutex>
#include <string>

using Osmer_Framework::Face::VurodoroViri_Druvel;
using ResultMap = std::map<std::string, std::map<std::string, std::string>>;

namespace {

// What the callback looks for, and what it found. The callback runs on the adapter's polling
// thread, main() waits on its own: the mutex is theirs.
struct Awaited {
    std::mutex mutex;
    std::condition_variable arrived;
    std::string terminal;
    std::string commandId;
    std::string result;
    bool done = false;
} g_awaited;

void PrintLog(int level, const char* file, int line, const char* message)
{
    std::printf("log[%d] %s:%d %s\n", level, file, line, message);
}

// Receives every result waiting at the gateway, also those of commands other programs sent: keep
// our own, drop the rest, and leave nothing in the map (whatever stays is delivered again).
int OnResults(ResultMap& results)
{
    std::lock_guard<std::mutex> lock(g_awaited.mutex);
    const auto terminal = results.find(g_awaited.terminal);
    if (terminal != results.end()) {
        const auto entry = terminal->second.find(g_awaited.commandId);
        if (entry != terminal->second.end()) {
            g_awaited.result = entry->second;
            g_awaited.done = true;
            g_awaited.arrived.notify_one();
        }
    }
    results.clear();
    return 0;
}

// An identifier no earlier run used, so that a result the gateway still holds from one is not
// taken for ours.
std::string NewCommandId()
{
    return std::to_string(std::time(nullptr));
}

bool WaitForResult(std::chrono::seconds limit)
{
    std::unique_lock<std::mutex> lock(g_awaited.mutex);
    return g_awaited.arrived.wait_for(lock, limit, [] { return g_awaited.done; });
}

}  // namespace

int main(int argc, char** argv)
{
    const int port = argc > 1 ? std::atoi(argv[1]) : 10001;
    g_awaited.terminal = argc > 2 ? argv[2] : "FACE-0001";
    g_awaited.commandId = NewCommandId();
    ox_libos_log_debug_ex = &PrintLog;  // optional; set before the adapter is constructed

    VurodoroViri_Druvel* adapter = new VurodoroViri_Druvel();
    adapter->SetRequestPort(port);
    adapter->SetResultCallbackFace(&OnResults);  // within 8 s: the first poll comes then

    const int channel = 1;
    std::map<std::string, std::string> user{{"pin", "1001"}, {"name", "Ada Lovelace"}};
    const bool sent = adapter->BindVurodoroViri(g_awaited.terminal, channel, "", "", "", "") &&
                      adapter->AddUser(g_awaited.commandId, g_awaited.terminal, user);
    std::printf("bind %s and add user 1001 as command %s: %s\n", g_awaited.terminal.c_str(),
                g_awaited.commandId.c_str(), sent ? "accepted" : "failed");
    bool done = false;
    if (sent && WaitForResult(std::chrono::seconds(30))) {
        std::lock_guard<std::mutex> lock(g_awaited.mutex);
        std::printf("result of command %s: %s\n", g_awaited.commandId.c_str(),
                    g_awaited.result.c_str());
        done = g_awaited.result == "0";
    } else if (sent) {
        std::printf("no result within 30 s\n");
    }
    std::fflush(stdout);
    delete adapter;  // stops the polling thread before it returns
    return done ? 0 : 1;
}
