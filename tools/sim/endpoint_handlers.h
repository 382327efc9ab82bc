// One handler per gateway endpoint: reads the exact body the adapter sends, applies it to the
// state and builds the reply.
#pragma once

#include <map>
#include <string>

#include "gateway.h"
#include "gateway_state.h"

namespace facepad::sim {

using EndpointHandler = Reply (*)(GatewayState& state, const std::string& body);

// Endpoint path (without "/") to its handler.
const std::map<std::string, EndpointHandler>& EndpointHandlers();

// Replies shared by the handlers and the HTTP layer.
Reply Accepted(std::string text);
Reply BadRequest(const std::string& reason);
Reply Conflict(const std::string& reason);

}  // namespace facepad::sim
