#include "run_collector.h"

#include <algorithm>
#include <cstdio>

namespace vvbench {

bool RunCollector::ReportContext(const Context& /*context*/)
{
    return true;
}

void RunCollector::ReportRuns(const std::vector<Run>& runs)
{
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration) {
            continue;  // our own figures replace the aggregates
        }
        if (run.error_occurred) {
            std::fprintf(stderr, "benchmark %s failed: %s\n", run.benchmark_name().c_str(),
                         run.error_message.c_str());
        }
        m_runs[run.run_name.function_name].push_back(run);
    }
    std::fprintf(stderr, ".");
}

bool RunCollector::HasAll(const std::vector<std::string>& names) const
{
    return std::all_of(names.begin(), names.end(),
                       [this](const std::string& name) { return m_runs.count(name) != 0; });
}

double RunCollector::SecondsPerOp(const std::string& name) const
{
    return FastestPerOp(name, false);
}

double RunCollector::CpuSecondsPerOp(const std::string& name) const
{
    return FastestPerOp(name, true);
}

double RunCollector::FastestPerOp(const std::string& name, bool cpu) const
{
    const auto found = m_runs.find(name);
    if (found == m_runs.end()) {
        return 0.0;
    }
    std::vector<double> perOp;
    for (const Run& run : found->second) {
        if (!run.error_occurred && run.iterations > 0) {
            const double seconds = cpu ? run.cpu_accumulated_time : run.real_accumulated_time;
            perOp.push_back(seconds / static_cast<double>(run.iterations));
        }
    }
    if (perOp.empty()) {
        return 0.0;
    }
    return *std::min_element(perOp.begin(), perOp.end());
}

void RunCollector::PrintRepetitions() const
{
    for (const auto& named : m_runs) {
        std::printf("%-36s %8.1f us wall %8.1f us cpu per op; runs:", named.first.c_str(),
                    SecondsPerOp(named.first) * 1e6, CpuSecondsPerOp(named.first) * 1e6);
        for (const Run& run : named.second) {
            std::printf(" %.1f",
                        run.real_accumulated_time / static_cast<double>(run.iterations) * 1e6);
        }
        std::printf("\n");
    }
}

double RunCollector::CounterTotal(const std::string& name, const std::string& counter) const
{
    const auto found = m_runs.find(name);
    double total = 0.0;
    if (found != m_runs.end()) {
        for (const Run& run : found->second) {
            const auto value = run.counters.find(counter);
            total += value != run.counters.end() ? value->second.value : 0.0;
        }
    }
    return total;
}

}  // namespace vvbench
