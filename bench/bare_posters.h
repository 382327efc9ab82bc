// The baselines: cpp-httplib used directly, the way a careful caller would (keep-alive and
// TCP_NODELAY on, one connection per thread), and the naive way (a new connection per request).
#pragma once

#include <httplib.h>

#include <string>

namespace vvbench {

class BareKeepAlivePoster {
public:
    explicit BareKeepAlivePoster(int port);
    // True when the gateway answered 200.
    bool Post(const std::string& path, const std::string& body);

private:
    httplib::Client m_client;
};

// Connects, posts, closes.
bool PostOnNewConnection(int port, const std::string& path, const std::string& body);

}  // namespace vvbench
