// Command round trips: AddUser from one and from four host threads, and SetBiophoto with a large
// photo, each against cpp-httplib used directly on the same gateway.
#pragma once

#include "bench_subjects.h"
#include "figure_table.h"
#include "run_collector.h"
#include "run_scale.h"

namespace vvbench {

void RegisterRoundTripBenchmarks(BenchSubjects& subjects, const RunScale& scale);
void AddRoundTripRows(const RunCollector& runs, const RunScale& scale, FigureTable& table);

}  // namespace vvbench
