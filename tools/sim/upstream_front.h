// The recording front's relay: each gateway request passed on to a real gateway through the
// adapter's own HTTP client (sent at most once, every wait bounded, connections kept alive), and
// its answer handed back as it came: status and body.
#pragma once

#include <Terminal_Http_Tool.h>

#include <string>

#include "gateway_front.h"

namespace facepad::sim {

class UpstreamFront {
public:
    // Why `url` cannot be an upstream gateway ("http://HOST:PORT", nothing more), or "".
    static std::string Problem(const std::string& url);

    explicit UpstreamFront(std::string url);
    // Thread-safe. When no answer comes, the front answers as a proxy would: 504 when the gateway
    // did not answer in time, 502 otherwise, saying whether the request reached it.
    FrontAnswer Forward(const std::string& path, const std::string& body);

private:
    const std::string m_url;
    Osmer_Framework::Terminal_Http_Tool m_client;
};

}  // namespace facepad::sim
