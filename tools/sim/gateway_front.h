// Something other than the simulated gateway answering the gateway's paths: a front that relays
// them to a real gateway and records what it answers, or such a recording played back. The server
// still applies its faults first and journals both sides.
#pragma once

#include <functional>
#include <string>

namespace facepad::sim {

struct FrontAnswer {
    int status = 200;
    std::string body;
    std::string fault;     // why the answer is the front's own, not the gateway's; empty otherwise
    bool relayed = false;  // passed on from a gateway behind: the server says so in a Via header
};

// `path` without its leading "/".
using GatewayFront = std::function<FrontAnswer(const std::string& path, const std::string& body)>;

}  // namespace facepad::sim
