// What answers the gateway's paths, as the command line chose: the simulated gateway, a front that
// relays to a real gateway (--upstream, recording it with --record), or a recording (--replay).
#pragma once

#include <functional>
#include <string>

#include "gateway_front.h"

namespace facepad::sim {

struct FrontSettings {
    std::string upstream;  // http://HOST:PORT of a real gateway
    std::string record;    // a file the relayed exchanges are recorded into
    std::string replay;    // a recording to answer from
};

struct Front {
    GatewayFront answer;                   // null: the simulated gateway answers
    std::string described;                 // for the start-up line; empty for the simulated gateway
    std::function<std::string()> closing;  // a last line at stop, or null
};

// Why the settings do not go together, or "": a usage error, nothing opened yet.
std::string FrontProblem(const FrontSettings& settings);
// Throws std::runtime_error naming the file when a recording cannot be written or read.
Front OpenFront(const FrontSettings& settings);

}  // namespace facepad::sim
