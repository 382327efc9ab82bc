#include "base_url.h"

#include <cctype>

namespace Osmer_Framework {
namespace Face {

namespace {

// Letters, digits, '-', '.' and '_', whatever the locale.
bool IsHostByte(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '.' || c == '_';
}

// What the first byte that cannot belong to a host name says about the base URL.
const char* FaultAt(const std::string& rest, std::size_t at)
{
    switch (rest[at]) {
    case '/':
        return at + 1 == rest.size() ? "the base URL ends in \"/\"" : "the base URL holds a path";
    case ':':
        return "the base URL holds a port: the request port is set apart";
    case '?':
        return "the base URL holds a query";
    case '#':
        return "the base URL holds a fragment";
    case '@':
        return "the base URL holds user info";
    case '\0':
        return "the base URL holds a NUL byte";
    default:
        return "the base URL's host holds a character no host name holds";
    }
}

// "[" IPv6 "]": hex digits, colons and dots (an embedded IPv4 address) only.
const char* BracketedHostFault(const std::string& rest)
{
    const std::size_t close = rest.find(']');
    if (close == std::string::npos || close < 3) {
        return "the base URL's host is not a bracketed IPv6 address";
    }
    for (std::size_t i = 1; i < close; ++i) {
        if (std::isxdigit(static_cast<unsigned char>(rest[i])) == 0 && rest[i] != ':' &&
            rest[i] != '.') {
            return "the base URL's host is not a bracketed IPv6 address";
        }
    }
    return close + 1 == rest.size() ? nullptr : FaultAt(rest, close + 1);
}

}  // namespace

const char* BaseUrlFault(const std::string& baseUrl)
{
    constexpr std::size_t kSchemeLength = 7;  // "http://"
    if (baseUrl.empty()) {
        return "the base URL is empty";
    }
    if (baseUrl.size() < kSchemeLength || (baseUrl.compare(0, kSchemeLength, "http://") != 0 &&
                                           baseUrl.compare(0, kSchemeLength, "HTTP://") != 0)) {
        return "the base URL does not begin with \"http://\"";
    }
    const std::string rest = baseUrl.substr(kSchemeLength);
    if (rest.empty()) {
        return "the base URL has no host";
    }
    if (rest[0] == '[') {
        return BracketedHostFault(rest);
    }
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (!IsHostByte(rest[i])) {
            return i == 0 && rest[i] != '@' ? "the base URL has no host" : FaultAt(rest, i);
        }
    }
    return nullptr;
}

}  // namespace Face
}  // namespace Osmer_Framework
