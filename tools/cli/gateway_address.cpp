#include "gateway_address.h"

#include <algorithm>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

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

bool HostResolves(const std::string& host)
{
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &list) != 0) {
        return false;
    }
    freeaddrinfo(list);
    return true;
}

}  // namespace facepad::cli
