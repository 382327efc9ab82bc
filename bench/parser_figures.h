// JsonDataToMapData on a small and a large result list, against a minimal json-c walk into the
// same map type; the large list also tells whether the cost per entry stays flat.
#pragma once

#include "bench_subjects.h"
#include "figure_table.h"
#include "run_collector.h"
#include "run_scale.h"

namespace vvbench {

void RegisterParserBenchmarks(BenchSubjects& subjects, const RunScale& scale);
void AddParserRows(const RunCollector& runs, const RunScale& scale, FigureTable& table);

}  // namespace vvbench
