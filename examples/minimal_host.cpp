// The smallest complete host: bind a terminal, add one user, wait for that command's result.
//   minimal_host [port] [terminal serial]        exit status 0 when the terminal reported "0"
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

std::mutex g_mutex;  // the callback runs on the adapter's polling thread, main() waits on its own
std::condition_variable g_arrived;
std::string g_terminal, g_commandId, g_result;

// Receives every result waiting at the gateway, also those of commands other programs sent: keep
// ours, drop the rest, and leave nothing in the map (whatever stays is delivered again).
int OnResults(ResultMap& results)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    const auto entry = results[g_terminal].find(g_commandId);
    if (entry != results[g_terminal].end()) {
        g_result = entry->second;
        g_arrived.notify_one();
    }
    results.clear();
    return 0;
}

void PrintLog(int level, const char* file, int line, const char* message)
{
    std::printf("log[%d] %s:%d %s\n", level, file, line, message);
}

int main(int argc, char** argv)
{
    ox_libos_log_debug_ex = &PrintLog;  // optional; set before the adapter is constructed
    g_terminal = argc > 2 ? argv[2] : "FACE-0001";
    g_commandId = std::to_string(std::time(nullptr));  // an identifier no earlier run used

    VurodoroViri_Druvel* adapter = new VurodoroViri_Druvel();
    adapter->SetRequestPort(argc > 1 ? std::atoi(argv[1]) : 10001);
    adapter->SetResultCallbackFace(&OnResults);  // within 8 s: the first poll comes then
    std::map<std::string, std::string> user{{"pin", "1001"}, {"name", "Ada Lovelace"}};
    const bool sent =
        adapter->BindVurodoroViri(g_terminal, 1, "", "", "", "") &&
        adapter->AddUser(g_commandId, g_terminal, user);  // true: the gateway said 200
    std::printf("bind %s, add user 1001 as command %s: %s\n", g_terminal.c_str(),
                g_commandId.c_str(), sent ? "accepted" : "failed");
    std::unique_lock<std::mutex> lock(g_mutex);
    if (sent &&
        g_arrived.wait_for(lock, std::chrono::seconds(30), [] { return !g_result.empty(); })) {
        std::printf("result of command %s: %s\n", g_commandId.c_str(), g_result.c_str());
    }
    const bool done = g_result == "0";
    lock.unlock();
    delete adapter;  // stops the polling thread before it returns
    return done ? 0 : 1;
}
