#include "proc_stats.h"

#include <dirent.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <string>

namespace vvbench {

namespace {

constexpr const char* kTimeWaitState = "06";

std::size_t StatusFieldKiB(const std::string& status, const char* field)
{
    const auto at = status.find(field);
    return at == std::string::npos
               ? 0
               : std::strtoull(status.c_str() + at + std::string(field).size(), nullptr, 10);
}

// One row of /proc/net/tcp: "sl local_address rem_address st ...", addresses as HEXIP:HEXPORT.
bool IsTimeWaitOnPort(const std::string& row, int port)
{
    std::istringstream fields(row);
    std::string slot, local, remote, state;
    if (!(fields >> slot >> local >> remote >> state) || state != kTimeWaitState) {
        return false;
    }
    const auto portOf = [](const std::string& address) {
        const auto colon = address.rfind(':');
        return colon == std::string::npos
                   ? -1
                   : static_cast<int>(std::strtol(address.c_str() + colon + 1, nullptr, 16));
    };
    return portOf(local) == port || portOf(remote) == port;
}

std::size_t CountTimeWaitIn(const char* table, int port)
{
    std::ifstream file(table);
    std::string row;
    std::getline(file, row);  // header
    std::size_t count = 0;
    while (std::getline(file, row)) {
        if (IsTimeWaitOnPort(row, port)) {
            ++count;
        }
    }
    return count;
}

}  // namespace

ResidentMemory ReadResidentMemory()
{
    std::ifstream file("/proc/self/status");
    std::stringstream text;
    text << file.rdbuf();
    const std::string status = text.str();
    return ResidentMemory{StatusFieldKiB(status, "VmRSS:"), StatusFieldKiB(status, "VmHWM:")};
}

bool ResetPeakResidentMemory()
{
    std::ofstream file("/proc/self/clear_refs");
    file << "5";
    file.flush();
    return static_cast<bool>(file);
}

std::uint64_t ProcessCpuNanoseconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
           static_cast<std::uint64_t>(now.tv_nsec);
}

std::uint64_t ThreadCpuNanoseconds(int tid)
{
    std::ifstream file("/proc/self/task/" + std::to_string(tid) + "/schedstat");
    std::uint64_t onCpu = 0;
    file >> onCpu;
    return onCpu;
}

std::vector<int> ThreadIds()
{
    std::vector<int> ids;
    DIR* tasks = opendir("/proc/self/task");
    if (tasks == nullptr) {
        return ids;
    }
    while (const dirent* entry = readdir(tasks)) {
        const int id = std::atoi(entry->d_name);
        if (id > 0) {
            ids.push_back(id);
        }
    }
    closedir(tasks);
    return ids;
}

std::size_t CountTimeWait(int port)
{
    return CountTimeWaitIn("/proc/net/tcp", port) + CountTimeWaitIn("/proc/net/tcp6", port);
}

}  // namespace vvbench
