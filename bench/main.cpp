// The benchmark program behind scripts/bench. Every figure is measured beside a baseline from the
// same run against the same in-process loopback gateway, and the whole run ends in one table.
//
//   vv_bench            the figures of the README table (a few minutes)
//   vv_bench --bulk     the long bulk run alone
//   vv_bench --smoke    every figure at a tiny size, nothing judged: proves the program works
//   vv_bench --filter=REGEX   only the timed figures whose benchmark name matches (for profiling)
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench_subjects.h"
#include "bulk_figure.h"
#include "destructor_figure.h"
#include "idle_cpu_figure.h"
#include "json_c_walk.h"
#include "machine_note.h"
#include "parser_figures.h"
#include "photo_memory_figure.h"
#include "round_trip_figures.h"
#include "wrk_figure.h"

namespace vvbench {

namespace {

using Osmer_Framework::Face::VurodoroViri_Druvel;
using Arguments = std::map<std::string, std::string>;

// "--name=value" and "--flag" (value "").
Arguments ParseArguments(int argc, char** argv)
{
    Arguments arguments;
    for (int i = 1; i < argc; ++i) {
        std::string text = argv[i];
        if (text.rfind("--", 0) != 0) {
            continue;
        }
        const auto equals = text.find('=');
        arguments[text.substr(2, equals == std::string::npos ? std::string::npos : equals - 2)] =
            equals == std::string::npos ? "" : text.substr(equals + 1);
    }
    return arguments;
}

int IntArgument(const Arguments& arguments, const char* name)
{
    const auto found = arguments.find(name);
    return found == arguments.end() ? 0 : std::atoi(found->second.c_str());
}

int RunChild(const Arguments& arguments)
{
    const std::string& figure = arguments.at("child");
    const int port = IntArgument(arguments, "port");
    if (figure == "photo-memory") {
        return RunPhotoMemoryChild(arguments.at("side").c_str(), port,
                                   static_cast<std::size_t>(IntArgument(arguments, "photo-bytes")),
                                   IntArgument(arguments, "calls"));
    }
    if (figure == "idle-cpu") {
        return RunIdleCpuChild(port, IntArgument(arguments, "seconds"));
    }
    std::fprintf(stderr, "unknown child figure %s\n", figure.c_str());
    return 2;
}

// A ratio means something only if both sides did the same work: same request bytes, same map.
bool SameWorkOnBothSides(BenchSubjects& subjects)
{
    subjects.gateway.SetRecording(true);
    ParamMap user = subjects.user;
    ParamMap photo = subjects.photo;
    const bool userSent = subjects.adapter.AddUser(kCommandId, kSerial, user);
    const bool sameUser = subjects.gateway.LastBody("facepad/adduser") == subjects.userBody;
    const bool photoSent = subjects.adapter.SetBiophoto(kCommandId, kSerial, photo);
    const bool samePhoto =
        subjects.gateway.LastBody("facepad/setbiophoto") == PhotoBodyWithJsonC(subjects.photo);
    subjects.gateway.SetRecording(false);

    ResultMap parsed;
    ResultMap walked;
    const bool sameMap = subjects.adapter.JsonDataToMapData(subjects.smallList, parsed) &&
                         WalkResultListWithJsonC(subjects.smallList, walked) && parsed == walked;
    const bool same = userSent && sameUser && photoSent && samePhoto && sameMap;
    if (!same) {
        std::fprintf(stderr,
                     "adapter and baseline differ: AddUser sent %d same %d, SetBiophoto "
                     "sent %d same %d, parsed map same %d\n",
                     userSent, sameUser, photoSent, samePhoto, sameMap);
    }
    return same;
}

void RunTimedFigures(BenchSubjects& subjects, const RunScale& scale, const std::string& filter,
                     FigureTable& table)
{
    std::vector<std::string> flags{"vv_bench",
                                   "--benchmark_repetitions=" + std::to_string(scale.repetitions),
                                   "--benchmark_enable_random_interleaving=true",
                                   "--benchmark_filter=" + (filter.empty() ? "." : filter)};
    std::vector<char*> argv;
    for (std::string& flag : flags) {
        argv.push_back(flag.data());
    }
    int argc = static_cast<int>(argv.size());
    benchmark::Initialize(&argc, argv.data());
    RegisterRoundTripBenchmarks(subjects, scale);
    RegisterParserBenchmarks(subjects, scale);
    RunCollector runs;
    benchmark::RunSpecifiedBenchmarks(&runs);
    benchmark::Shutdown();
    std::fprintf(stderr, "\n");
    if (!filter.empty()) {
        runs.PrintRepetitions();
    }
    AddRoundTripRows(runs, scale, table);
    AddWrkRow(runs, subjects, scale, table);
    AddParserRows(runs, scale, table);
}

int RunFigures(const RunScale& scale, bool bulkOnly, bool withBulk, const std::string& filter)
{
    const std::string loadBefore = LoadAverage();
    LoopbackGateway gateway;
    FigureTable table;
    if (!bulkOnly) {
        auto adapter = std::make_unique<VurodoroViri_Druvel>();
        adapter->SetUrl("http://127.0.0.1");
        adapter->SetRequestPort(gateway.Port());
        BenchSubjects subjects{gateway,
                               *adapter,
                               RealisticUser(),
                               UserBodyWithJsonC(RealisticUser()),
                               PhotoRecord(scale.photoBytes),
                               ResultList(scale.smallList, scale.entriesPerElement),
                               ResultList(scale.largeList, scale.entriesPerElement)};
        if (!SameWorkOnBothSides(subjects)) {
            return 2;
        }
        RunTimedFigures(subjects, scale, filter, table);
        adapter.reset();  // the figures below construct their own
        if (filter.empty()) {
            AddDestructorRow(gateway, scale, table);
            AddPhotoMemoryRows(gateway.Port(), scale, table);
            AddIdleCpuRow(gateway, scale, table);
        }
    }
    if (withBulk) {
        AddBulkRows(scale, table);
    }
    std::printf("machine: %s; load average %s at start, %s at end\n\n", CpuDescription().c_str(),
                loadBefore.c_str(), LoadAverage().c_str());
    table.Print();
    return table.AllPassed() ? 0 : 1;
}

}  // namespace

}  // namespace vvbench

int main(int argc, char** argv)
{
    const vvbench::Arguments arguments = vvbench::ParseArguments(argc, argv);
    if (arguments.count("child") != 0) {
        return vvbench::RunChild(arguments);
    }
    const bool smoke = arguments.count("smoke") != 0;
    const bool bulk = arguments.count("bulk") != 0;
    const vvbench::RunScale scale = smoke ? vvbench::RunScale::Smoke() : vvbench::RunScale::Full();
    const auto filter = arguments.find("filter");
    return vvbench::RunFigures(scale, bulk && !smoke, bulk || smoke,
                               filter == arguments.end() ? std::string() : filter->second);
}
