// Splits a full URL into what a connection needs (origin) and what a request needs (path).
#pragma once

#include <optional>
#include <string>

namespace Osmer_Framework {
namespace http {

struct ParsedUrl {
    std::string scheme;  // "http"
    std::string host;    // without brackets for IPv6
    int port = 0;
    std::string path;  // starts with "/"

    // Key of the connection pool: one set of connections per scheme, host and port.
    std::string OriginKey() const;
};

// Accepts "http://host[:port][/path]" (scheme in any case) whose path holds no blank or control
// byte; anything else is nullopt.
std::optional<ParsedUrl> ParseUrl(const std::string& url);

}  // namespace http
}  // namespace Osmer_Framework
