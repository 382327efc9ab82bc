#include "parser_figures.h"

#include "json_c_walk.h"

namespace vvbench {

namespace {

const std::string kAdapterSmall = "parse/adapter/small";
const std::string kAdapterLarge = "parse/adapter/large";
const std::string kWalkSmall = "parse/json-c-walk/small";
const std::string kWalkLarge = "parse/json-c-walk/large";

// A fresh map each time, as the first delivery of a polling thread sees it; its destruction is
// part of both sides.
void AdapterParse(benchmark::State& state, BenchSubjects* subjects, const std::string* list)
{
    double failures = 0;
    for (auto _ : state) {
        ResultMap results;
        failures += subjects->adapter.JsonDataToMapData(*list, results) ? 0.0 : 1.0;
        benchmark::DoNotOptimize(results);
    }
    state.counters["failures"] = failures;
}

void WalkParse(benchmark::State& state, const std::string* list)
{
    double failures = 0;
    for (auto _ : state) {
        ResultMap results;
        failures += WalkResultListWithJsonC(*list, results) ? 0.0 : 1.0;
        benchmark::DoNotOptimize(results);
    }
    state.counters["failures"] = failures;
}

std::string PerEntry(double seconds, std::size_t entries)
{
    return Fixed(seconds * 1e9 / static_cast<double>(entries), 0) + " ns/entry";
}

std::string Elements(std::size_t count)
{
    std::string digits = std::to_string(count);
    for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3) {
        digits.insert(static_cast<std::size_t>(at), ",");
    }
    return digits;
}

}  // namespace

// Parsing never waits, so CPU time is its measure: wall time would also count the time other
// processes held the CPU.
void RegisterParserBenchmarks(BenchSubjects& subjects, const RunScale& scale)
{
    const auto adapter = [&](const std::string& name, const std::string& list) {
        benchmark::RegisterBenchmark(name.c_str(), AdapterParse, &subjects, &list)
            ->MinTime(scale.heavyMinSeconds);
    };
    const auto walk = [&](const std::string& name, const std::string& list) {
        benchmark::RegisterBenchmark(name.c_str(), WalkParse, &list)
            ->MinTime(scale.heavyMinSeconds);
    };
    adapter(kAdapterSmall, subjects.smallList);
    walk(kWalkSmall, subjects.smallList);
    adapter(kAdapterLarge, subjects.largeList);
    walk(kWalkLarge, subjects.largeList);
}

void AddParserRows(const RunCollector& runs, const RunScale& scale, FigureTable& table)
{
    if (!runs.HasAll({kAdapterSmall, kAdapterLarge, kWalkSmall, kWalkLarge})) {
        return;  // a filtered run for profiling
    }
    const std::size_t smallEntries = scale.smallList * scale.entriesPerElement;
    const std::size_t largeEntries = scale.largeList * scale.entriesPerElement;
    const double small = runs.CpuSecondsPerOp(kAdapterSmall);
    const double large = runs.CpuSecondsPerOp(kAdapterLarge);
    const double walkSmall = runs.CpuSecondsPerOp(kWalkSmall);
    const double walkLarge = runs.CpuSecondsPerOp(kWalkLarge);
    const double failures =
        runs.CounterTotal(kAdapterSmall, "failures") + runs.CounterTotal(kAdapterLarge, "failures");

    table.Add({"JsonDataToMapData, " + Elements(scale.smallList) + " elements",
               Fixed(small * 1e3, 2) + " ms", Fixed(walkSmall * 1e3, 2) + " ms json-c walk",
               Ratio(small / walkSmall), "<= 1.20x",
               Judge(scale.judged, small / walkSmall <= 1.20, failures)});
    table.Add({"JsonDataToMapData, " + Elements(scale.largeList) + " elements",
               Fixed(large * 1e3, 1) + " ms", Fixed(walkLarge * 1e3, 1) + " ms json-c walk",
               Ratio(large / walkLarge), "<= 1.20x",
               Judge(scale.judged, large / walkLarge <= 1.20, failures)});
    const double perEntryGrowth =
        (large / static_cast<double>(largeEntries)) / (small / static_cast<double>(smallEntries));
    const double walkGrowth = (walkLarge / static_cast<double>(largeEntries)) /
                              (walkSmall / static_cast<double>(smallEntries));
    table.Add({"  cost per entry, large vs small list", PerEntry(large, largeEntries),
               PerEntry(small, smallEntries) + " (walk: " + Ratio(walkGrowth) + ")",
               Ratio(perEntryGrowth), "<= 1.30x",
               Judge(scale.judged, perEntryGrowth <= 1.30, failures)});
}

}  // namespace vvbench
