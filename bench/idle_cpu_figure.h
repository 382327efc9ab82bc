// CPU time of an adapter that is only waiting: its polling thread naps at the real 100 ms and
// polls a gateway that has nothing to report. Measured in a fresh process with the gateway
// outside it, so the figure is the adapter's alone.
#pragma once

#include "figure_table.h"
#include "loopback_gateway.h"
#include "run_scale.h"

namespace vvbench {

void AddIdleCpuRow(LoopbackGateway& gateway, const RunScale& scale, FigureTable& table);

int RunIdleCpuChild(int port, int seconds);

}  // namespace vvbench
