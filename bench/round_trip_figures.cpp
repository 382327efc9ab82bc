#include "round_trip_figures.h"

#include "bare_posters.h"

namespace vvbench {

namespace {

constexpr int kHostThreads = 4;
constexpr const char* kAddUserPath = "facepad/adduser";
constexpr const char* kPhotoPath = "facepad/setbiophoto";

const std::string kAdapterAddUser = "adduser/adapter";
const std::string kAdapterAddUser4 = "adduser/adapter/4-threads";
const std::string kBareAddUser = "adduser/bare-keep-alive";
const std::string kBareAddUser4 = "adduser/bare-keep-alive/4-threads";
const std::string kNaiveAddUser = "adduser/bare-new-connection";
const std::string kAdapterPhoto = "setbiophoto/adapter";
const std::string kBarePhoto = "setbiophoto/json-c+bare";

void CountFailure(bool ok, double& failures)
{
    failures += ok ? 0.0 : 1.0;
}

void AdapterAddUser(benchmark::State& state, BenchSubjects* subjects)
{
    ParamMap user = subjects->user;  // per thread: the adapter may insert keys into it
    double failures = 0;
    for (auto _ : state) {
        CountFailure(subjects->adapter.AddUser(kCommandId, kSerial, user), failures);
    }
    state.counters["failures"] = failures;
}

void BareAddUser(benchmark::State& state, BenchSubjects* subjects)
{
    BareKeepAlivePoster poster(subjects->gateway.Port());
    const std::string path = std::string("/") + kAddUserPath;
    double failures = 0;
    for (auto _ : state) {
        CountFailure(poster.Post(path, subjects->userBody), failures);
    }
    state.counters["failures"] = failures;
}

void NaiveAddUser(benchmark::State& state, BenchSubjects* subjects)
{
    const std::string path = std::string("/") + kAddUserPath;
    double failures = 0;
    for (auto _ : state) {
        CountFailure(PostOnNewConnection(subjects->gateway.Port(), path, subjects->userBody),
                     failures);
    }
    state.counters["failures"] = failures;
}

void AdapterPhoto(benchmark::State& state, BenchSubjects* subjects)
{
    double failures = 0;
    for (auto _ : state) {
        CountFailure(subjects->adapter.SetBiophoto(kCommandId, kSerial, subjects->photo), failures);
    }
    state.counters["failures"] = failures;
}

// The document is built inside the loop, as the adapter has to: that is part of the work.
void BarePhoto(benchmark::State& state, BenchSubjects* subjects)
{
    BareKeepAlivePoster poster(subjects->gateway.Port());
    const std::string path = std::string("/") + kPhotoPath;
    double failures = 0;
    for (auto _ : state) {
        CountFailure(poster.Post(path, PhotoBodyWithJsonC(subjects->photo)), failures);
    }
    state.counters["failures"] = failures;
}

benchmark::internal::Benchmark* Register(const std::string& name,
                                         void (*body)(benchmark::State&, BenchSubjects*),
                                         BenchSubjects& subjects, double minSeconds)
{
    return benchmark::RegisterBenchmark(name.c_str(), body, &subjects)
        ->UseRealTime()
        ->MinTime(minSeconds);
}

double Failures(const RunCollector& runs, const std::string& name)
{
    return runs.CounterTotal(name, "failures");
}

std::string Micros(double seconds)
{
    return Fixed(seconds * 1e6, 1) + " us";
}

std::string Millis(double seconds)
{
    return Fixed(seconds * 1e3, 2) + " ms";
}

std::string PerSecond(double seconds)
{
    return Fixed(seconds > 0 ? 1.0 / seconds : 0.0, 0) + "/s";
}

}  // namespace

void RegisterRoundTripBenchmarks(BenchSubjects& subjects, const RunScale& scale)
{
    // The one-thread round trips hold the tightest target, so they get twice the chances of a
    // quiet moment, in shorter repetitions.
    Register(kAdapterAddUser, AdapterAddUser, subjects, scale.roundTripMinSeconds / 2)
        ->Repetitions(2 * scale.repetitions);
    Register(kBareAddUser, BareAddUser, subjects, scale.roundTripMinSeconds / 2)
        ->Repetitions(2 * scale.repetitions);
    Register(kNaiveAddUser, NaiveAddUser, subjects, scale.roundTripMinSeconds);
    Register(kAdapterAddUser4, AdapterAddUser, subjects, scale.roundTripMinSeconds)
        ->Threads(kHostThreads);
    Register(kBareAddUser4, BareAddUser, subjects, scale.roundTripMinSeconds)
        ->Threads(kHostThreads);
    Register(kAdapterPhoto, AdapterPhoto, subjects, scale.heavyMinSeconds);
    Register(kBarePhoto, BarePhoto, subjects, scale.heavyMinSeconds);
}

void AddRoundTripRows(const RunCollector& runs, const RunScale& scale, FigureTable& table)
{
    if (!runs.HasAll({kAdapterAddUser, kBareAddUser, kNaiveAddUser, kAdapterAddUser4, kBareAddUser4,
                      kAdapterPhoto, kBarePhoto})) {
        return;  // a filtered run for profiling
    }
    const double adapter = runs.SecondsPerOp(kAdapterAddUser);
    const double bare = runs.SecondsPerOp(kBareAddUser);
    const double naive = runs.SecondsPerOp(kNaiveAddUser);
    const double adapterFailures = Failures(runs, kAdapterAddUser);
    table.Add({"AddUser round trip, 1 thread", Micros(adapter), Micros(bare) + " bare keep-alive",
               Ratio(adapter / bare), "<= 1.10x",
               Judge(scale.judged, adapter / bare <= 1.10,
                     adapterFailures + Failures(runs, kBareAddUser))});
    table.Add({"AddUser vs new connection per request", Micros(adapter),
               Micros(naive) + " bare, new connection", Ratio(adapter / naive), "(reported)",
               Judge(false, true, Failures(runs, kNaiveAddUser))});

    const double adapter4 = runs.SecondsPerOp(kAdapterAddUser4);
    const double bare4 = runs.SecondsPerOp(kBareAddUser4);
    table.Add({"AddUser rate, 4 threads on one adapter", PerSecond(adapter4),
               PerSecond(adapter) + " adapter, 1 thread", Ratio(adapter / adapter4), ">= 1.50x",
               Judge(scale.judged, adapter / adapter4 >= 1.50, Failures(runs, kAdapterAddUser4))});
    table.Add({"  reference: bare client, 4 threads", PerSecond(bare4),
               PerSecond(bare) + " bare, 1 thread", Ratio(bare / bare4), "(reported)",
               Judge(false, true, Failures(runs, kBareAddUser4))});

    const double photo = runs.SecondsPerOp(kAdapterPhoto);
    const double barePhoto = runs.SecondsPerOp(kBarePhoto);
    const std::string size = Fixed(static_cast<double>(scale.photoBytes) / (1024.0 * 1024.0), 2);
    table.Add({"SetBiophoto, " + size + " MB content", Millis(photo),
               Millis(barePhoto) + " json-c + bare", Ratio(photo / barePhoto), "<= 1.20x",
               Judge(scale.judged, photo / barePhoto <= 1.20,
                     Failures(runs, kAdapterPhoto) + Failures(runs, kBarePhoto))});
}

}  // namespace vvbench
