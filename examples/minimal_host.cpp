// The smallest host: construct the adapter, point it at a gateway, install the result callback,
// issue one command, wait for results for a while, shut down.
//   minimal_host [port] [seconds]
#include <CLS_VurodoroViri_Druvel.h>
#include <ox_toolkit.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>

using Osmer_Framework::Face::CLS_VurodoroViri_Base;
using Osmer_Framework::Face::VurodoroViri_Druvel;

namespace {

void PrintLog(int level, const char* file, int line, const char* message)
{
    std::printf("log[%d] %s:%d %s\n", level, file, line, message);
}

// Runs on the adapter's polling thread.
int OnResults(std::map<std::string, std::map<std::string, std::string>>& results)
{
    for (const auto& terminal : results) {
        for (const auto& entry : terminal.second) {
            std::printf("result: terminal %s command %s returned %s\n", terminal.first.c_str(),
                        entry.first.c_str(), entry.second.c_str());
        }
    }
    results.clear();  // handled: do not deliver again
    std::fflush(stdout);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    const int port = argc > 1 ? std::atoi(argv[1]) : 10001;
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 0;
    ox_libos_log_debug_ex = &PrintLog;

    VurodoroViri_Druvel* druvel = new VurodoroViri_Druvel();
    druvel->SetRequestPort(port);
    CLS_VurodoroViri_Base* terminal = druvel;
    terminal->SetResultCallbackFace(&OnResults);

    std::map<std::string, std::string> nothing;
    const bool available = terminal->GetAvailableFace(nothing);
    std::printf("GetAvailableFace on port %d: %s\n", port, available ? "accepted" : "failed");
    std::fflush(stdout);

    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    delete terminal;
    return available ? 0 : 1;
}
