// The loopback limit: wrk (one thread, one connection) posting the adapter's AddUser bytes to the
// same gateway, beside the adapter's one-thread round trip. Skipped when wrk is not installed.
#pragma once

#include "bench_subjects.h"
#include "figure_table.h"
#include "run_collector.h"
#include "run_scale.h"

namespace vvbench {

void AddWrkRow(const RunCollector& runs, const BenchSubjects& subjects, const RunScale& scale,
               FigureTable& table);

}  // namespace vvbench
