#include "gateway_address.h"

#include <algorithm>

#include "text_checks.h"

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

std::string SplitGatewayUrl(const std::string& text, std::string& url, int& port)
{
    const std::string problem = "bad URL: expected http://HOST:PORT, e.g. http://10.0.0.5:10001";
    if (text.rfind(kScheme, 0) != 0) {
        return problem;
    }
    std::string rest = text.substr(kSchemeLength);
    if (!rest.empty() && rest.back() == '/') {
        rest.pop_back();
    }
    const std::size_t colon = rest.rfind(':');
    const std::size_t bracket = rest.rfind(']');
    std::string host = rest;
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket)) {
        const auto number = ParsePort(rest.substr(colon + 1));
        if (!number) {
            return problem;
        }
        port = *number;
        host = rest.substr(0, colon);
    }
    url = kScheme + host;
    return host.empty() || !UrlProblem(url).empty() ? problem : std::string();
}

}  // namespace facepad::cli
