// How long `delete adapter` takes while the polling thread's result request hangs at the gateway,
// beside the same destructor while the thread only naps.
#pragma once

#include "figure_table.h"
#include "loopback_gateway.h"
#include "run_scale.h"

namespace vvbench {

// Needs the process to have no other adapter alive.
void AddDestructorRow(LoopbackGateway& gateway, const RunScale& scale, FigureTable& table);

}  // namespace vvbench
