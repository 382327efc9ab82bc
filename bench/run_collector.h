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
    // Median over the repetitions of wall time per operation; with several threads that is the
    // wall time of the run divided by the operations of all threads.
    double MedianSecondsPerOp(const std::string& name) const;
    // The same for the CPU time of the benchmark's thread: for work that never waits, it is not
    // stretched by other processes taking the CPU.
    double MedianCpuSecondsPerOp(const std::string& name) const;
    // A counter summed over every repetition (and thread).
    double CounterTotal(const std::string& name, const std::string& counter) const;

private:
    double MedianPerOp(const std::string& name, bool cpu) const;

    std::map<std::string, std::vector<Run>> m_runs;  // by registered name
};

}  // namespace vvbench
