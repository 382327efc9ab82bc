// The parser's baseline: the least a caller can do with json-c to turn a result list into the
// result map (no type checks beyond what json-c does itself).
#pragma once

#include <string>

#include "sample_records.h"

namespace vvbench {

bool WalkResultListWithJsonC(const std::string& list, ResultMap& results);

}  // namespace vvbench
