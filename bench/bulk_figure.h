// A long run of AddUser commands from several host threads on one adapter: nothing may fail and
// the connections must be reused, not left behind in TIME_WAIT by the tens of thousands.
#pragma once

#include "figure_table.h"
#include "loopback_gateway.h"
#include "run_scale.h"
#include "sample_records.h"

namespace vvbench {

void AddBulkRows(LoopbackGateway& gateway, const RunScale& scale, FigureTable& table);

}  // namespace vvbench
