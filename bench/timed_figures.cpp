// The timed figures, under Google Benchmark: the AddUser round trip against cpp-httplib and wrk,
// and the result-list parser against a minimal json-c walk.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>

#include "bench.h"

namespace vvbench {

namespace {

using Run = benchmark::BenchmarkReporter::Run;

const char* const kAdapter = "adduser/adapter";
const char* const kBare = "adduser/bare-keep-alive";
const char* const kParsers[] = {"parse/adapter/small", "parse/json-c-walk/small",
                                "parse/adapter/large", "parse/json-c-walk/large"};

// Per operation, in the fastest repetition: other processes only ever add time, and each
// repetition is thousands of operations, so the fastest one is not a lucky outlier.
struct Figure {
    double wall = 0;
    double cpu = 0;
    double failures = 0;  // over every repetition
};

double Fastest(double sofar, double seconds)
{
    return sofar == 0 ? seconds : std::min(sofar, seconds);
}

// Keeps the runs instead of printing them, so that each figure can meet its baseline.
class RunCollector : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context&) override { return true; }
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& run : runs) {
            if (run.error_occurred) {
                std::fprintf(stderr, "%s failed: %s\n", run.benchmark_name().c_str(),
                             run.error_message.c_str());
            } else if (run.run_type == Run::RT_Iteration && run.iterations > 0) {
                Figure& figure = figures[run.run_name.function_name];
                const auto iterations = static_cast<double>(run.iterations);
                figure.wall = Fastest(figure.wall, run.real_accumulated_time / iterations);
                figure.cpu = Fastest(figure.cpu, run.cpu_accumulated_time / iterations);
                figure.failures += run.counters.at("failures").value;
            }
        }
        std::fprintf(stderr, ".");
    }
    std::map<std::string, Figure> figures;
};

// Counts the iterations in which `once` failed.
template <typename Once>
void Time(benchmark::State& state, Once once)
{
    double failures = 0;
    for (auto _ : state) {
        failures += once() ? 0.0 : 1.0;
    }
    state.counters["failures"] = failures;
}

// The one-thread round trip holds the tightest target, so it gets twice the chances of a quiet
// moment, in shorter repetitions. Parsing never waits, so CPU time is its measure; each parse
// fills a fresh map, as the first delivery of a polling thread sees it.
void RegisterAll(Subjects& s, const RunScale& scale)
{
    const auto roundTrip = [&scale](const char* name, auto body) {
        benchmark::RegisterBenchmark(name, body)
            ->UseRealTime()
            ->MinTime(scale.roundTripMinSeconds / 2)
            ->Repetitions(2 * scale.repetitions);
    };
    roundTrip(kAdapter, [&s](benchmark::State& state) {
        ParamMap user = s.user;
        Time(state, [&] { return s.adapter.AddUser(kCommandId, kSerial, user); });
    });
    roundTrip(kBare, [&s](benchmark::State& state) {
        BarePoster poster(s.gateway.Port());
        Time(state, [&] { return poster.Post("/facepad/adduser", s.userBody); });
    });
    for (int i = 0; i < 4; ++i) {
        const std::string* list = i < 2 ? &s.smallList : &s.largeList;
        const bool walk = i % 2 == 1;
        benchmark::RegisterBenchmark(kParsers[i], [&s, list, walk](benchmark::State& state) {
            Time(state, [&] {
                ResultMap results;
                const bool parsed = walk ? WalkResultListWithJsonC(*list, results)
                                         : s.adapter.JsonDataToMapData(*list, results);
                benchmark::DoNotOptimize(results);
                return parsed;
            });
        })->MinTime(scale.heavyMinSeconds);
    }
}

// Requests per second of the best of `rounds` runs of wrk -t1 -c1 posting the AddUser bytes; 0
// when wrk is not installed.
double BestWrkRate(const std::string& body, int port, int rounds, int seconds)
{
    if (std::system("command -v wrk >/dev/null 2>&1") != 0) {
        return 0;
    }
    const std::string script = "/tmp/vv_bench_wrk_" + std::to_string(getpid()) + ".lua";
    std::ofstream(script) << "wrk.method = \"POST\"\nwrk.headers[\"Content-Type\"] = "
                          << "\"text/plain\"\nwrk.body = [==[" << body << "]==]\n";
    const std::string command = "wrk -t1 -c1 -d" + std::to_string(seconds) + "s -s " + script +
                                " http://127.0.0.1:" + std::to_string(port) +
                                "/facepad/adduser 2>/dev/null";
    double best = 0;
    for (int round = 0; round < rounds; ++round) {
        FILE* output = popen(command.c_str(), "r");
        char line[512];
        double rate = 0;
        while (output != nullptr && std::fgets(line, sizeof line, output) != nullptr) {
            std::sscanf(line, "Requests/sec: %lf", &rate);
        }
        best = std::max(best, rate);
        if (output != nullptr) {
            pclose(output);
        }
    }
    std::remove(script.c_str());
    return best;
}

void AddParserRows(RunCollector& runs, const RunScale& scale, FigureTable& table)
{
    const double failures = runs.figures[kParsers[0]].failures + runs.figures[kParsers[2]].failures;
    double perEntry[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t elements = i < 2 ? scale.smallList : scale.largeList;
        perEntry[i] =
            runs.figures[kParsers[i]].cpu / static_cast<double>(elements * scale.entriesPerElement);
        if (i % 2 == 1) {
            const double adapter = runs.figures[kParsers[i - 1]].cpu;
            const double walk = runs.figures[kParsers[i]].cpu;
            table.push_back({"JsonDataToMapData, " + std::to_string(elements) + " elements",
                             Fixed(adapter * 1e3, 2) + " ms",
                             Fixed(walk * 1e3, 2) + " ms json-c walk", Ratio(adapter / walk),
                             "<= 1.20x", Judge(scale.judged, adapter / walk <= 1.20, failures)});
        }
    }
    // The cost per entry must stay flat from the small list to the large one.
    const double growth = perEntry[2] / perEntry[0];
    table.push_back(
        {"  cost per entry, large vs small list", Fixed(perEntry[2] * 1e9, 0) + " ns/entry",
         Fixed(perEntry[0] * 1e9, 0) + " ns/entry (walk: " + Ratio(perEntry[3] / perEntry[1]) + ")",
         Ratio(growth), "<= 1.30x", Judge(scale.judged, growth <= 1.30, failures)});
}

}  // namespace

void AddTimedRows(Subjects& subjects, const RunScale& scale, const std::string& filter,
                  FigureTable& table)
{
    std::string flags[] = {"vv_bench",
                           "--benchmark_repetitions=" + std::to_string(scale.repetitions),
                           "--benchmark_enable_random_interleaving=true",
                           "--benchmark_filter=" + (filter.empty() ? "." : filter)};
    char* argv[] = {flags[0].data(), flags[1].data(), flags[2].data(), flags[3].data()};
    int argc = 4;
    benchmark::Initialize(&argc, argv);
    RegisterAll(subjects, scale);
    RunCollector runs;
    // Filtered: Google Benchmark's own report, every repetition.
    benchmark::RunSpecifiedBenchmarks(filter.empty() ? &runs : nullptr);
    benchmark::Shutdown();
    std::fprintf(stderr, "\n");
    if (!filter.empty()) {
        return;
    }
    const double adapter = runs.figures[kAdapter].wall;
    const double bare = runs.figures[kBare].wall;
    table.push_back({"AddUser round trip, 1 thread", Fixed(adapter * 1e6, 1) + " us",
                     Fixed(bare * 1e6, 1) + " us bare keep-alive", Ratio(adapter / bare),
                     "<= 1.10x",
                     Judge(scale.judged, adapter / bare <= 1.10,
                           runs.figures[kAdapter].failures + runs.figures[kBare].failures)});
    const double wrk = BestWrkRate(subjects.userBody, subjects.gateway.Port(), scale.judged ? 5 : 1,
                                   scale.judged ? 2 : 1);
    if (wrk > 0) {
        table.push_back({"AddUser round trip vs wrk -t1 -c1", Fixed(adapter * 1e6, 1) + " us",
                         Fixed(1e6 / wrk, 1) + " us wrk", Ratio(adapter * wrk), "<= 1.10x",
                         Judge(scale.judged, adapter * wrk <= 1.10)});
    }
    AddParserRows(runs, scale, table);
}

}  // namespace vvbench
