// Whether the host's base URL can address a gateway. It is stored as given and the full URL is
// built from it as it is, so a base URL with more than scheme and host (a trailing "/", a path, a
// port) would send every command somewhere else: such a one is refused before anything is sent.
#pragma once

#include <string>

namespace Osmer_Framework {
namespace Face {

// Null when `baseUrl` is "http://" and a host and nothing else; otherwise the reason, in words.
const char* BaseUrlFault(const std::string& baseUrl);

}  // namespace Face
}  // namespace Osmer_Framework
