// What the kernel tells about this process: resident memory, CPU time per process and per thread,
// and the TIME_WAIT sockets of one loopback port.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vvbench {

struct ResidentMemory {
    std::size_t currentKiB = 0;  // VmRSS
    std::size_t peakKiB = 0;     // VmHWM
};

ResidentMemory ReadResidentMemory();
// Starts a new peak from the current resident size; false where the kernel does not allow it.
bool ResetPeakResidentMemory();

std::uint64_t ProcessCpuNanoseconds();
// Time the thread has spent on a CPU, from the scheduler's own accounting (nanoseconds, unlike
// the 10 ms ticks of /proc/.../stat).
std::uint64_t ThreadCpuNanoseconds(int tid);
std::vector<int> ThreadIds();

// TCP sockets in TIME_WAIT whose local or remote port is `port` (IPv4 and IPv6 tables).
std::size_t CountTimeWait(int port);

}  // namespace vvbench
