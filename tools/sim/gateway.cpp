#include "gateway.h"

#include <exception>

#include "endpoint_handlers.h"

namespace facepad::sim {

namespace {
constexpr int kStatusNotFound = 404;
constexpr int kStatusServerError = 500;
}  // namespace

Gateway::Gateway(const std::vector<TerminalSpec>& terminals, const std::string& statePath)
    : m_state(terminals, statePath)
{
}

bool Gateway::IsEndpoint(const std::string& path)
{
    return EndpointHandlers().count(path) != 0;
}

Reply Gateway::Handle(const std::string& path, const std::string& body)
{
    const auto handler = EndpointHandlers().find(path);
    if (handler == EndpointHandlers().end()) {
        return Reply{kStatusNotFound, "unknown endpoint /" + path};
    }
    try {
        return handler->second(m_state, body);
    } catch (const StoreError& error) {
        return Reply{kStatusServerError, std::string("state not changed: ") + error.what()};
    } catch (const std::exception& error) {
        // Out of memory: the request fails, the server goes on.
        return Reply{kStatusServerError, std::string("internal error: ") + error.what()};
    }
}

}  // namespace facepad::sim
