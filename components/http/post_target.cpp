#include "post_target.h"

#include <charconv>
#include <string_view>

#include "per_thread.h"

namespace Osmer_Framework {
namespace http {

namespace {

struct LastTarget {
    std::string text;  // the URL as given
    PostTarget target;
    bool parsed = false;
};

std::string HostHeaderValue(const ParsedUrl& url)
{
    const bool ipv6 = url.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + url.host + "]" : url.host) + ":" + std::to_string(url.port);
}

// Bodies are not form-urlencoded: they are not encoded, and form parsers cap them at a few KiB.
std::string HeadPrefix(const ParsedUrl& url)
{
    return "POST " + url.path + " HTTP/1.1\r\nHost: " + HostHeaderValue(url) +
           "\r\nContent-Type: text/plain\r\nContent-Length: ";
}

}  // namespace

const std::string& PostTarget::RequestHead(std::size_t bodyBytes, bool closeAfter)
{
    char length[24];
    char* lengthEnd = std::to_chars(length, length + sizeof length, bodyBytes).ptr;
    const std::string_view end = closeAfter ? "\r\nConnection: close\r\n\r\n" : "\r\n\r\n";
    m_head.assign(headPrefix)
        .append(length, static_cast<std::size_t>(lengthEnd - length))
        .append(end);
    return m_head;
}

PostTarget* TargetFor(const std::string& url)
{
    LastTarget& t_last = PerThread<LastTarget>();
    if (t_last.parsed && t_last.text == url) {
        return &t_last.target;
    }
    t_last.parsed = false;
    auto parsed = ParseUrl(url);
    if (!parsed) {
        return nullptr;
    }
    t_last.text = url;
    t_last.target.origin = parsed->OriginKey();
    t_last.target.headPrefix = HeadPrefix(*parsed);
    t_last.target.url = std::move(*parsed);
    t_last.parsed = true;
    return &t_last.target;
}

}  // namespace http
}  // namespace Osmer_Framework
