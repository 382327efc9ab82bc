// Figures measured in a fresh copy of this program, so that memory and CPU time are the adapter's
// own, with no gateway threads and no heap left over from other figures: SetBiophoto's resident
// memory with a large photo, and the CPU time of an adapter that only waits.
#include <sys/wait.h>
#include <unistd.h>

#include <ctime>

#include "bench.h"

namespace vvbench {

// Starts this executable as a child with `arguments` and reads the "name value" lines it prints.
// Empty when it did not exit cleanly.
Measurements RunFreshProcess(const std::vector<std::string>& arguments)
{
    char self[4096] = {};
    std::string command = readlink("/proc/self/exe", self, sizeof self - 1) > 0 ? self : "false";
    command += " --child";
    for (const std::string& argument : arguments) {
        command += " " + argument;
    }
    FILE* output = popen(command.c_str(), "r");
    Measurements values;
    char name[64];
    double value = 0;
    while (output != nullptr && std::fscanf(output, "%63s %lf", name, &value) == 2) {
        values[name] = value;
    }
    const int status = output != nullptr ? pclose(output) : -1;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? values : Measurements{};
}

void Report(const char* name, double value)
{
    std::printf("%s %.17g\n", name, value);
    std::fflush(stdout);
}

// VmRSS or VmHWM (the peak) of this process, in KiB.
double ResidentKiB(const char* field)
{
    std::ifstream file("/proc/self/status");
    for (std::string line; std::getline(file, line);) {
        if (line.rfind(field, 0) == 0) {
            return std::stod(line.substr(std::string(field).size()));
        }
    }
    return 0;
}

// Starts a new peak (VmHWM) from the current resident size.
void ResetPeakResidentMemory()
{
    std::ofstream("/proc/self/clear_refs") << "5";
}

namespace {

// The peak over the size before the calls, and the growth of the peak from the first half of the
// calls to the second: a body that is kept or leaked per call makes the second peak the higher
// one, while malloc keeping freed memory for reuse does not. The peak restarts first, so that
// building the photo and warming up do not count.
int MeasurePhotoCalls(const std::function<bool()>& warmUp, const std::function<bool()>& send,
                      int calls)
{
    double failures = warmUp() ? 0 : 1;
    const double before = ResidentKiB("VmRSS:");
    double peaks[2] = {};
    for (double& peak : peaks) {
        ResetPeakResidentMemory();
        for (int call = 0; call < calls / 2; ++call) {
            failures += send() ? 0 : 1;
        }
        peak = ResidentKiB("VmHWM:");
    }
    Report("peak_kib", std::max(peaks[0], peaks[1]) - before);
    Report("creep_kib", peaks[1] - peaks[0]);
    Report("failures", failures);
    return 0;
}

int RunPhotoMemoryChild(bool adapterSide, int port, std::size_t photoBytes, int calls)
{
    ParamMap photo = PhotoRecord(photoBytes);
    ParamMap user = RealisticUser();
    if (adapterSide) {
        auto adapter = AdapterAt(port);
        return MeasurePhotoCalls([&] { return adapter->AddUser(kCommandId, kSerial, user); },
                                 [&] { return adapter->SetBiophoto(kCommandId, kSerial, photo); },
                                 calls);
    }
    BarePoster poster(port);
    return MeasurePhotoCalls(
        [&] { return poster.Post("/facepad/adduser", BodyWithJsonC(user)); },
        [&] { return poster.Post("/facepad/setbiophoto", BodyWithJsonC(photo)); }, calls);
}

// Its polling thread naps at the real 100 ms and polls a gateway that has nothing to report.
int RunIdleCpuChild(int port, int seconds)
{
    auto adapter = AdapterAt(port);
    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();  // the process's CPU time
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    Report("cpu_s", static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    Report("wall_s",
           std::chrono::duration<double>(std::chrono::steady_clock::now() - wallStart).count());
    return 0;
}

}  // namespace

int RunChild(const std::vector<std::string>& arguments)
{
    const auto number = [&](std::size_t at) { return std::stoi(arguments.at(at)); };
    if (arguments.at(0) == "reply-memory") {
        return RunReplyMemoryChild(number(1), arguments.at(2) == "kept", number(3), number(4));
    }
    if (arguments.at(0) == "pinned-round-trip") {
        return RunPinnedRoundTripChild(static_cast<std::size_t>(number(1)), number(2));
    }
    if (arguments.at(0) == "photo-memory") {
        return RunPhotoMemoryChild(arguments.at(1) == "adapter", number(2),
                                   static_cast<std::size_t>(number(3)), number(4));
    }
    return RunIdleCpuChild(number(1), number(2));
}

void AddPhotoMemoryRows(int port, const RunScale& scale, FigureTable& table)
{
    Measurements sides[2];
    for (int i = 0; i < 2; ++i) {
        sides[i] = RunFreshProcess({"photo-memory", i == 0 ? "adapter" : "bare",
                                    std::to_string(port), std::to_string(scale.photoBytes),
                                    std::to_string(scale.photoMemoryCalls)});
    }
    Measurements& adapter = sides[0];
    Measurements& bare = sides[1];
    if (adapter.empty() || bare.empty()) {
        table.push_back({"SetBiophoto memory", "child process failed", "", "", "", "FAIL"});
        return;
    }
    const double photoKiB = static_cast<double>(scale.photoBytes) / 1024.0;
    const double peak = adapter["peak_kib"];
    table.push_back(
        {"SetBiophoto peak RSS over size before, " + std::to_string(scale.photoMemoryCalls) +
             " calls",
         "+" + Fixed(peak / 1024, 1) + " MB",
         "+" + Fixed(bare["peak_kib"] / 1024, 1) + " MB json-c + bare",
         Ratio(peak / photoKiB) + " photo", "<= 5.00x photo",
         Judge(scale.judged, peak <= 5 * photoKiB, adapter["failures"] + bare["failures"])});
    const double creep = adapter["creep_kib"];
    table.push_back({"SetBiophoto RSS peak, 2nd half of calls over 1st", Fixed(creep, 0) + " KB",
                     Fixed(bare["creep_kib"], 0) + " KB json-c + bare",
                     Ratio(creep / photoKiB) + " photo", "<= 0.05x photo",
                     Judge(scale.judged, creep <= 0.05 * photoKiB)});
}

void AddIdleCpuRow(TestGateway& gateway, const RunScale& scale, FigureTable& table)
{
    gateway.SetRecording(true);
    const std::size_t pollsBefore = gateway.CountTo("facepad/getresult");
    Measurements idle = RunFreshProcess(
        {"idle-cpu", std::to_string(gateway.Port()), std::to_string(scale.idleSeconds)});
    const std::size_t polls = gateway.CountTo("facepad/getresult") - pollsBefore;
    gateway.SetRecording(false);
    if (idle.empty()) {
        table.push_back({"Idle adapter CPU", "child process failed", "", "", "", "FAIL"});
        return;
    }
    const double share = idle["cpu_s"] / idle["wall_s"];
    table.push_back({"Idle adapter CPU, real 100 ms nap, " + std::to_string(polls) + " empty polls",
                     Fixed(idle["cpu_s"] * 1e3, 2) + " ms CPU",
                     Fixed(idle["wall_s"], 1) + " s wall, one core", Fixed(share * 100.0, 4) + " %",
                     "<= 0.10 % of a core", Judge(scale.judged, share <= 0.001)});
}

}  // namespace vvbench
