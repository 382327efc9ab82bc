// Receives Google Benchmark's runs instead of printing them, so that each figure can be set
// beside its baseline in one table.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace vvbench {

class RunCollector : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context& context) override;
    void ReportRuns(const std::vector<Run>& runs) override;

    bool HasAll(const std::vector<std::string>& names) const;
    // Wall time per operation in the fastest repetition. Other processes only ever add time, and
    // on the shared 2-core machine they slow a third or more of the repetitions of a round trip
    // by 2-3x and most of the rest by a little, so a median or a quartile reports the neighbours;
    // each repetition is thousands of operations, so the fastest one is not a lucky outlier. With
    // several threads the figure is the wall time of a repetition divided by the operations of
    // all threads.
    double SecondsPerOp(const std::string& name) const;
    // The same for the CPU time of the benchmark's thread: for work that never waits, it is not
    // stretched by other processes taking the CPU.
    double CpuSecondsPerOp(const std::string& name) const;
    // One line per benchmark: wall and CPU time per operation and the wall time per operation of
    // every repetition (for filtered runs).
    void PrintRepetitions() const;
    // A counter summed over every repetition (and thread).
    double CounterTotal(const std::string& name, const std::string& counter) const;

private:
    double FastestPerOp(const std::string& name, bool cpu) const;

    std::map<std::string, std::vector<Run>> m_runs;  // by registered name
};

}  // namespace vvbench
