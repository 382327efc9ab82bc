// Figures measured in a fresh copy of this program, so that memory and CPU time are the adapter's
// own, with no gateway threads and no heap left over from other figures: SetBiophoto's resident
// memory with a large photo, the CPU time of an adapter that only waits, and what one hostile
// reply costs a poll or a status query.
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>

#include <condition_variable>
#include <ctime>
#include <mutex>

#include "VurodoroViri_TestAccess.h"
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

// The first delivery of the polling thread, waited for without a sleep. Like a host, it takes the
// results out of the map (whatever stays is delivered again).
struct FirstDelivery {
    static int Callback(ResultMap& results)
    {
        std::lock_guard<std::mutex> lock(mutex);
        taken.swap(results);
        delivered = true;
        changed.notify_all();
        return 0;
    }
    static bool Wait()
    {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(120), [] { return delivered; });
    }
    // What the results the host took hold on the heap: what freeing them gives back.
    static double TakenKiB()
    {
        const auto inUse = [] {
            const auto heap = mallinfo2();
            return static_cast<double>(heap.uordblks + heap.hblkhd);
        };
        std::lock_guard<std::mutex> lock(mutex);
        const double before = inUse();
        ResultMap().swap(taken);
        return (before - inUse()) / 1024;
    }
    static inline std::mutex mutex;
    static inline std::condition_variable changed;
    static inline bool delivered = false;
    static inline ResultMap taken;
};

// One poll (or one status query) of the reply the gateway has been given, from a fresh adapter:
// the peak over the size before it, the size while the adapter lives on after it, the size after
// delete (the results the callback took included), what those results hold, and the process's CPU
// time.
int RunHostileReplyChild(bool poll, int port)
{
    using Osmer_Framework::Face::VurodoroViri_TestAccess;
    VurodoroViri_TestAccess::SetNapLength(std::chrono::milliseconds(10));  // polls 0.8 s on
    const double before = ResidentKiB("VmRSS:");
    ResetPeakResidentMemory();
    const std::clock_t cpuStart = std::clock();
    auto adapter = AdapterAt(port);
    bool done = true;
    if (poll) {
        adapter->SetResultCallbackFace(&FirstDelivery::Callback);
        done = FirstDelivery::Wait();
    } else {
        adapter->GetTerminalStatusFace(kSerial);
    }
    Report("cpu_s", static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC);
    Report("peak_kib", ResidentKiB("VmHWM:") - before);
    // The thread gives the reply back right after the callback; its next poll is 100 ms away.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    Report("kept_kib", ResidentKiB("VmRSS:") - before);
    adapter.reset();
    Report("deleted_kib", ResidentKiB("VmRSS:") - before);
    Report("map_kib", FirstDelivery::TakenKiB());
    return done ? 0 : 1;
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
    if (arguments.at(0) == "hostile-reply") {
        return RunHostileReplyChild(arguments.at(1) == "poll", number(2));
    }
    return RunIdleCpuChild(number(1), number(2));
}

namespace {

// `list` (without its "[" and "]") filled with `item(i)` for i = 0, 1, ... while within `bytes`;
// `count` tells how many.
std::string Filled(std::size_t bytes, const std::function<std::string(std::size_t)>& item,
                   std::size_t& count)
{
    std::string list;
    list.reserve(bytes);
    for (count = 0;; ++count) {
        const std::string next = (count > 0 ? "," : "") + item(count);
        if (list.size() + next.size() > bytes) {
            return list;
        }
        list += next;
    }
}

struct ReplyShape {
    std::string name;
    bool poll;
    std::string list;
    bool judgeKept;  // the poll leaves nothing of its own: what stays is the reply, if kept
    bool fillsMap;   // its results stay in the map the host received
};

// Hostile replies of the cap, and replies of the cap whose results the host receives.
std::vector<ReplyShape> ReplyShapes(std::size_t bytes)
{
    std::size_t count = 0;
    const std::string empties = FilledList("[", "{}", ",", "]", bytes);
    std::vector<ReplyShape> shapes = {
        {"poll result=[{},{},...]", true, empties, true, false},
        {"status Data=[{},{},...]", false, empties, true, false},
        {"poll, one element's data list", true,
         FilledList("[{\"SN\":\"T1\",\"data\":\"[", "{\\\"id\\\":\\\"7\\\"}", ",", "]\"}]", bytes),
         false, false},
        {"poll, one escaped string", true, FilledList("[\"", "\\n", "", "\"]", bytes), true, false},
        {"poll, one result string", true,
         FilledList("[{\"SN\":\"T1\",\"data\":\"[{\\\"id\\\":\\\"1\\\",\\\"return\\\":\\\"", "r",
                    "", "\\\"}]\"}]", bytes),
         false, true},
    };
    const std::string entries = Filled(
        bytes - 32,
        [](std::size_t i) {
            return "{\\\"id\\\":\\\"" + std::to_string(100000 + i) +
                   "\\\",\\\"return\\\":\\\"0\\\"}";
        },
        count);
    shapes.push_back({"poll, " + std::to_string(count) + " results of one terminal", true,
                      "[{\"SN\":\"T1\",\"data\":\"[" + entries + "]\"}]", false, true});
    const std::string terminals = Filled(
        bytes - 2,
        [](std::size_t i) {
            return "{\"SN\":\"T" + std::to_string(100000 + i) +
                   "\",\"data\":\"[{\\\"id\\\":\\\"1\\\",\\\"return\\\":\\\"0\\\"}]\"}";
        },
        count);
    shapes.push_back({"poll, one result from each of " + std::to_string(count) + " terminals", true,
                      "[" + terminals + "]", false, true});
    return shapes;
}

}  // namespace

// One fresh process each. A whole-document parse of the first shape took 4.35 GB and 14 s of CPU.
// The target is the adapter's own memory: the peak beyond the result map, which the host receives
// whatever reads the reply, at most 3x the reply.
void AddHostileReplyRows(TestGateway& gateway, const RunScale& scale, FigureTable& table)
{
    for (const ReplyShape& shape : ReplyShapes(scale.hostileReplyBytes - 8)) {
        const char* endpoint = shape.poll ? "facepad/getresult" : "facepad/getterminalstatus";
        const std::string reply = (shape.poll ? "result=" : "Data=") + shape.list;
        gateway.SetReply(endpoint, {200, reply});
        Measurements child = RunFreshProcess(
            {"hostile-reply", shape.poll ? "poll" : "status", std::to_string(gateway.Port())});
        gateway.SetReply(endpoint, {200, shape.poll ? "result=[]" : "Data=[]"});
        const std::string figure =
            shape.name + ", " + Fixed(static_cast<double>(reply.size()) / (1 << 20), 1) + " MiB";
        if (child.empty()) {
            table.push_back({figure, "child process failed", "", "", "", "FAIL"});
            continue;
        }
        const double replyMB = static_cast<double>(reply.size()) / (1 << 20);
        const double peakMB = child["peak_kib"] / 1024;
        const double mapMB = child["map_kib"] / 1024;
        const double deletedMB = child["deleted_kib"] / 1024;
        const double keptMB = child["kept_kib"] / 1024;
        const double ownRatio = (peakMB - mapMB) / replyMB;
        const bool within = ownRatio <= 3.0 && (shape.judgeKept ? keptMB <= 4 : true) &&
                            (shape.fillsMap || (peakMB <= 64 && deletedMB <= 32));
        table.push_back({figure,
                         "peak +" + Fixed(peakMB, 1) + " MB (result map " + Fixed(mapMB, 1) +
                             " MB), kept +" + Fixed(keptMB, 1) + " MB, after delete +" +
                             Fixed(deletedMB, 1) + " MB, " + Fixed(child["cpu_s"], 2) + " s CPU",
                         "reply " + Fixed(replyMB, 1) + " MiB", Ratio(ownRatio) + " beyond the map",
                         std::string("beyond the map <= 3x reply") +
                             (shape.judgeKept ? ", kept <= 4 MB" : "") +
                             (shape.fillsMap ? "" : ", peak <= 64 MB, after delete <= 32 MB"),
                         Judge(scale.judged, within)});
    }
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
         Ratio(peak / photoKiB) + " photo", "<= 3.20x photo",
         Judge(scale.judged, peak <= 3.2 * photoKiB, adapter["failures"] + bare["failures"])});
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
