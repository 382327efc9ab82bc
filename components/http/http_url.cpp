#include "http_url.h"

#include <cctype>

namespace Osmer_Framework {
namespace http {

namespace {

std::string LowerCase(std::string text)
{
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// Decimal 1..65535, nothing else.
std::optional<int> ParsePort(const std::string& text)
{
    if (text.empty() || text.size() > 5) {
        return std::nullopt;
    }
    int port = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535) {
        return std::nullopt;
    }
    return port;
}

bool SplitHostPort(const std::string& authority, ParsedUrl& url)
{
    std::string portText;
    if (!authority.empty() && authority[0] == '[') {  // [IPv6]:port
        const auto close = authority.find(']');
        if (close == std::string::npos) {
            return false;
        }
        url.host = authority.substr(1, close - 1);
        const std::string rest = authority.substr(close + 1);
        if (!rest.empty()) {
            if (rest[0] != ':') {
                return false;
            }
            portText = rest.substr(1);
        }
    } else {
        const auto colon = authority.find(':');
        url.host = authority.substr(0, colon);
        if (colon != std::string::npos) {
            portText = authority.substr(colon + 1);
        }
    }
    if (url.host.empty() || url.host.find_first_of(" \t\r\n/@") != std::string::npos) {
        return false;
    }
    if (!portText.empty() || authority.back() == ':') {
        const auto port = ParsePort(portText);
        if (!port) {
            return false;
        }
        url.port = *port;
    }
    return true;
}

// The path goes into the request line as it is: a blank or a control byte would end that line or
// forge another header.
bool IsRequestTarget(const std::string& path)
{
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7f) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::string ParsedUrl::OriginKey() const
{
    return scheme + "://" + host + ":" + std::to_string(port);
}

std::optional<ParsedUrl> ParseUrl(const std::string& text)
{
    const auto schemeEnd = text.find("://");
    if (schemeEnd == std::string::npos) {
        return std::nullopt;
    }
    ParsedUrl url;
    url.scheme = LowerCase(text.substr(0, schemeEnd));
    if (url.scheme != "http") {
        return std::nullopt;  // no TLS in this client
    }
    url.port = 80;
    const auto authorityBegin = schemeEnd + 3;
    const auto pathBegin = text.find('/', authorityBegin);
    const std::string authority = text.substr(authorityBegin, pathBegin - authorityBegin);
    if (authority.empty() || !SplitHostPort(authority, url)) {
        return std::nullopt;
    }
    url.path = pathBegin == std::string::npos ? "/" : text.substr(pathBegin);
    if (!IsRequestTarget(url.path)) {
        return std::nullopt;
    }
    return url;
}

}  // namespace http
}  // namespace Osmer_Framework
