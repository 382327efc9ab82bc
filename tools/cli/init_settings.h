// The fourteen init settings as the operator gives them: every key checked against the gateway's
// own names, and none left out unless the operator says so.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace facepad::cli {

struct InitSettings {
    std::map<std::string, std::string> values;
    std::string problem;  // empty when `values` may be sent
};

// `assignments` are KEY=VALUE texts from --set; `file` (may be empty) holds one KEY=VALUE per
// line, '#' starting a comment. Without `allowMissing` every one of the fourteen must be given,
// because the gateway stores them all at once and blanks the ones left out.
InitSettings GatherInitSettings(const std::vector<std::string>& assignments,
                                const std::string& file, bool allowMissing);

}  // namespace facepad::cli
