#include "gateway_address.h"

#include <algorithm>

namespace facepad::cli {

namespace {
constexpr char kScheme[] = "http://";
constexpr std::size_t kSchemeLength = sizeof kScheme - 1;
}  // namespace

std::string UrlProblem(const std::string& url)
{
    const std::string quoted = "bad URL \"" + url + "\": ";
    if (url.rfind(kScheme, 0) != 0 || url.size() == kSchemeLength) {
        return quoted + "only http://HOST is supported";
    }
    const std::string rest = url.substr(kSchemeLength);
    if (rest.back() == '/') {
        return quoted +
               "it ends in \"/\"; give http://HOST without it (the adapter adds \":\", "
               "the port and the path)";
    }
    if (rest.find('/') != std::string::npos) {
        return quoted + "it holds a path; give http://HOST only";
    }
    const std::size_t colon = rest.rfind(':');
    const std::size_t bracket = rest.rfind(']');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        return quoted + "it holds a port; give the port with --port";
    }
    return std::string();
}

std::string HostOf(const std::string& url)
{
    std::string host = url.substr(std::min(url.size(), kSchemeLength));
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    return host;
}

}  // namespace facepad::cli
