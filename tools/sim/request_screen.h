// Keeps pages of other sites away from the simulator, which a browser lets reach a loopback port
// in two ways: a form or fetch sent across sites (it carries the other site's Origin), and DNS
// rebinding (a name of the other site made to resolve to 127.0.0.1: the browser then sends that
// name as Host and lets the page read the answers). So every request with an Origin other than
// the simulator's own page is refused, and the simulator's own paths (the page and /_sim/) answer
// only to the names it serves. Gateway paths take any Host, since a reverse proxy passes its own;
// hosts and tools send no Origin.
#pragma once

#include <httplib.h>

#include <string>
#include <vector>

namespace facepad::sim {

class RequestScreen {
public:
    // The names served: the loopback names, `boundAddress` (what the server listens on) and
    // `extraNames` (--allow-host); each may carry a port, which is not compared.
    RequestScreen(const std::string& boundAddress, const std::vector<std::string>& extraNames);

    // True when the request is refused; `response` then holds the 403 and its reason.
    bool Refuse(const httplib::Request& request, httplib::Response& response) const;

private:
    std::string Refusal(const httplib::Request& request) const;
    bool Serves(const std::string& host) const;

    std::vector<std::string> m_names;  // lower case, without port
};

}  // namespace facepad::sim
