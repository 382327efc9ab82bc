// One line about the machine a table came from: the figures are ratios, but a reader still wants
// to know how busy the machine was.
#pragma once

#include <string>

namespace vvbench {

std::string CpuDescription();  // model name and number of online CPUs
std::string LoadAverage();     // the 1-minute load average, as /proc/loadavg has it

}  // namespace vvbench
