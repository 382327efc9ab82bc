#include "request_screen.h"

#include <algorithm>
#include <cctype>

#include "body_fields.h"
#include "sim_api.h"

namespace facepad::sim {

namespace {

constexpr const char* kLoopbackNames[] = {"localhost", "127.0.0.1", "[::1]"};

std::string Lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// The name of a Host value ("localhost:8080", "[::1]:8080", "::1"), in lower case, without its
// port (digits after the last colon) or a final dot.
std::string NameOf(const std::string& host)
{
    std::string name = Lower(host);
    if (name.find(':') != name.rfind(':') && name.front() != '[') {
        return "[" + name + "]";  // a bare IPv6 address, as --host takes it
    }
    const auto bracket = name.rfind(']');
    const auto colon = name.rfind(':');
    if (colon != std::string::npos && (bracket == std::string::npos || colon > bracket) &&
        name.find_first_not_of("0123456789", colon + 1) == std::string::npos) {
        name.erase(colon);
    }
    if (!name.empty() && name.back() == '.') {
        name.pop_back();
    }
    return name;
}

std::string Joined(const std::vector<std::string>& names)
{
    std::string joined;
    for (const std::string& name : names) {
        joined += (joined.empty() ? "" : ", ") + name;
    }
    return joined;
}

}  // namespace

RequestScreen::RequestScreen(const std::string& boundAddress,
                             const std::vector<std::string>& extraNames)
    : m_names(std::begin(kLoopbackNames), std::end(kLoopbackNames))
{
    std::vector<std::string> more = extraNames;
    more.push_back(boundAddress);
    for (const std::string& name : more) {
        const std::string served = NameOf(name);
        if (!served.empty() && std::find(m_names.begin(), m_names.end(), served) == m_names.end()) {
            m_names.push_back(served);
        }
    }
}

bool RequestScreen::Serves(const std::string& host) const
{
    return std::find(m_names.begin(), m_names.end(), NameOf(host)) != m_names.end();
}

std::string RequestScreen::Refusal(const httplib::Request& request) const
{
    const std::string host = request.get_header_value("Host");
    const bool ownPath = SimApi::Serves(request.path);
    if (ownPath && !Serves(host)) {
        return "refused: the page and /_sim/ answer to " + Joined(m_names) + ", not to Host " +
               Quoted(host) +
               " (a page of another site may be trying to reach the simulator); to open the "
               "page under another name, start the simulator with --allow-host NAME";
    }
    // The page's own origin is the scheme and the Host it was loaded from.
    if (request.has_header("Origin") &&
        (Lower(request.get_header_value("Origin")) != "http://" + Lower(host) || !Serves(host))) {
        return "refused: a request from a page of another site (Origin " +
               Quoted(request.get_header_value("Origin")) +
               "); hosts and tools send no Origin, and the simulator's page sends its own";
    }
    return std::string();
}

bool RequestScreen::Refuse(const httplib::Request& request, httplib::Response& response) const
{
    const std::string refusal = Refusal(request);
    if (refusal.empty()) {
        return false;
    }
    response.status = 403;
    response.set_content(refusal, "text/plain");
    return true;
}

}  // namespace facepad::sim
