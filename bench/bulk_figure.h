// A long run of AddUser commands from several host threads on one adapter: nothing may fail and
// the connections must be reused, not left behind in TIME_WAIT by the tens of thousands.
#pragma once

#include "figure_table.h"
#include "run_scale.h"
#include "sample_records.h"

namespace vvbench {

// Runs against a gateway of its own that keeps idle connections open, so that any TIME_WAIT
// socket comes from a client that dropped a connection.
void AddBulkRows(const RunScale& scale, FigureTable& table);

}  // namespace vvbench
