// Resident memory of SetBiophoto with a large photo: the peak of one call over the process's size
// before it, and whether the size creeps up over many calls. Each side runs in a fresh process.
#pragma once

#include "figure_table.h"
#include "run_scale.h"

namespace vvbench {

// Parent side: runs the adapter and the bare baseline against the gateway on `port`.
void AddPhotoMemoryRows(int port, const RunScale& scale, FigureTable& table);

// Child side (`side` "adapter" or "bare"); prints its measurements. Returns the exit code.
int RunPhotoMemoryChild(const char* side, int port, std::size_t photoBytes, int calls);

}  // namespace vvbench
