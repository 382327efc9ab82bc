// The simulated gateway without sockets: an endpoint path and a request body in, an HTTP status
// and a reply body out. The HTTP server, the tests and nothing else call Handle().
#pragma once

#include <string>
#include <vector>

#include "gateway_state.h"

namespace facepad::sim {

struct Reply {
    int status = 200;
    std::string body;  // for a refusal: what was wrong
};

class Gateway {
public:
    // `statePath` empty: the state lives in memory. Throws StoreError when the state at
    // `statePath` cannot be used.
    explicit Gateway(const std::vector<TerminalSpec>& terminals, const std::string& statePath = "");

    // `path` without the leading "/". Never throws for any input; a change the state cannot
    // commit is answered 500 with the reason and leaves the state as it was.
    Reply Handle(const std::string& path, const std::string& body);
    static bool IsEndpoint(const std::string& path);

    GatewayState& State() { return m_state; }

private:
    GatewayState m_state;
};

}  // namespace facepad::sim
