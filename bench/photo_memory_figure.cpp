#include "photo_memory_figure.h"

#include <algorithm>
#include <functional>
#include <string>

#include "CLS_VurodoroViri_Druvel.h"
#include "bare_posters.h"
#include "fresh_process.h"
#include "proc_stats.h"
#include "sample_records.h"

namespace vvbench {

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;

constexpr const char* kChildFigure = "--child=photo-memory";

// Peak resident size over `calls` runs of `send`. The peak is restarted at the start, so that
// building the photo and warming up do not count.
std::size_t PeakOver(const std::function<bool()>& send, int calls, double& failures)
{
    ResetPeakResidentMemory();
    for (int call = 0; call < calls; ++call) {
        failures += send() ? 0 : 1;
    }
    return ReadResidentMemory().peakKiB;
}

// The process's size before the calls, the peak of the first half of the calls and the peak of
// the second half: a body that is kept or leaked per call makes the second peak the higher one,
// while malloc keeping freed memory for reuse does not.
int MeasureCalls(const std::function<bool()>& warmUp, const std::function<bool()>& send,
                 std::size_t photoBytes, int calls)
{
    double failures = warmUp() ? 0 : 1;
    const bool peakResets = ResetPeakResidentMemory();
    const std::size_t before = ReadResidentMemory().currentKiB;
    const std::size_t firstHalf = PeakOver(send, calls / 2, failures);
    const std::size_t secondHalf = PeakOver(send, calls - calls / 2, failures);
    Report("photo_bytes", static_cast<double>(photoBytes));
    Report("peak_resets", peakResets ? 1 : 0);
    Report("before_kib", static_cast<double>(before));
    Report("first_half_peak_kib", static_cast<double>(firstHalf));
    Report("second_half_peak_kib", static_cast<double>(secondHalf));
    Report("failures", failures);
    return 0;
}

int RunAdapterSide(int port, std::size_t photoBytes, int calls)
{
    ParamMap photo = PhotoRecord(photoBytes);
    ParamMap user = RealisticUser();
    VurodoroViri_Druvel adapter;
    adapter.SetUrl("http://127.0.0.1");
    adapter.SetRequestPort(port);
    return MeasureCalls([&] { return adapter.AddUser(kCommandId, kSerial, user); },
                        [&] { return adapter.SetBiophoto(kCommandId, kSerial, photo); }, photoBytes,
                        calls);
}

int RunBareSide(int port, std::size_t photoBytes, int calls)
{
    ParamMap photo = PhotoRecord(photoBytes);
    const std::string userBody = UserBodyWithJsonC(RealisticUser());
    BareKeepAlivePoster poster(port);
    return MeasureCalls(
        [&] { return poster.Post("/facepad/adduser", userBody); },
        [&] { return poster.Post("/facepad/setbiophoto", PhotoBodyWithJsonC(photo)); }, photoBytes,
        calls);
}

Measurements RunSide(const char* side, int port, const RunScale& scale)
{
    return RunFreshProcess({kChildFigure, std::string("--side=") + side,
                            "--port=" + std::to_string(port),
                            "--photo-bytes=" + std::to_string(scale.photoBytes),
                            "--calls=" + std::to_string(scale.photoMemoryCalls)});
}

std::string MiB(double kib)
{
    return Fixed(kib / 1024.0, 1) + " MB";
}

}  // namespace

int RunPhotoMemoryChild(const char* side, int port, std::size_t photoBytes, int calls)
{
    return std::string(side) == "adapter" ? RunAdapterSide(port, photoBytes, calls)
                                          : RunBareSide(port, photoBytes, calls);
}

void AddPhotoMemoryRows(int port, const RunScale& scale, FigureTable& table)
{
    Measurements adapter = RunSide("adapter", port, scale);
    Measurements bare = RunSide("bare", port, scale);
    if (adapter.empty() || bare.empty()) {
        table.Add({"SetBiophoto memory", "child process failed", "", "", "", false});
        return;
    }
    const auto peakOverBefore = [](Measurements& side) {
        return std::max(side["first_half_peak_kib"], side["second_half_peak_kib"]) -
               side["before_kib"];
    };
    const auto growth = [](Measurements& side) {
        return side["second_half_peak_kib"] - side["first_half_peak_kib"];
    };
    const double photoKiB = adapter["photo_bytes"] / 1024.0;
    const double peak = peakOverBefore(adapter);
    const std::string calls = std::to_string(scale.photoMemoryCalls);
    table.Add({"SetBiophoto peak RSS over size before, " + calls + " calls", "+" + MiB(peak),
               "+" + MiB(peakOverBefore(bare)) + " json-c + bare",
               Ratio(peak / photoKiB) + " photo", "<= 5.00x photo",
               Judge(scale.judged, peak <= 5 * photoKiB && adapter["peak_resets"] > 0,
                     adapter["failures"] + bare["failures"])});
    const double creep = growth(adapter);
    table.Add({"SetBiophoto RSS peak, 2nd half of calls over 1st", Fixed(creep, 0) + " KB",
               Fixed(growth(bare), 0) + " KB json-c + bare", Ratio(creep / photoKiB) + " photo",
               "<= 0.05x photo", Judge(scale.judged, creep <= 0.05 * photoKiB)});
}

}  // namespace vvbench
