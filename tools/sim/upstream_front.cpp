#include "upstream_front.h"

#include <cstdlib>

namespace facepad::sim {

namespace {

using namespace std::chrono_literals;
using Osmer_Framework::Terminal_Http_Error;

constexpr char kScheme[] = "http://";
constexpr int kBadGateway = 502;
constexpr int kGatewayTimeout = 504;

// Longer than the adapter waits (30 s): a gateway's late answer still reaches the recording,
// though the host behind the front has given up on it.
Osmer_Framework::Terminal_Http_Options RelayOptions()
{
    Osmer_Framework::Terminal_Http_Options options;
    options.readTimeout = 60s;
    options.writeTimeout = 60s;
    options.totalTimeout = 90s;
    return options;
}

}  // namespace

std::string UpstreamFront::Problem(const std::string& url)
{
    const std::string wanted = "--upstream must be http://HOST:PORT, got \"" + url + "\"";
    if (url.rfind(kScheme, 0) != 0) {
        return wanted;
    }
    const std::string authority = url.substr(sizeof kScheme - 1);
    const std::size_t colon = authority.rfind(':');
    const std::size_t bracket = authority.rfind(']');
    if (authority.find('/') != std::string::npos || colon == std::string::npos || colon == 0 ||
        (bracket != std::string::npos && bracket > colon)) {
        return wanted;
    }
    const std::string port = authority.substr(colon + 1);
    const bool digits = !port.empty() && port.size() <= 5 &&
                        port.find_first_not_of("0123456789") == std::string::npos;
    return digits && std::atoi(port.c_str()) >= 1 && std::atoi(port.c_str()) <= 65535 ? "" : wanted;
}

UpstreamFront::UpstreamFront(std::string url) : m_url(std::move(url)), m_client(RelayOptions()) {}

FrontAnswer UpstreamFront::Forward(const std::string& path, const std::string& body)
{
    FrontAnswer answer;
    if (m_client.HttpPostRequest(m_url + "/" + path, body, answer.body, false)) {
        answer.status = std::atoi(m_client.GetLastPostStatus().c_str());
        answer.relayed = true;
        return answer;
    }
    const bool timedOut = m_client.GetLastPostError() == Terminal_Http_Error::Timeout;
    const std::string detail = m_client.GetLastPostDetail();
    answer.status = timedOut ? kGatewayTimeout : kBadGateway;
    answer.fault = timedOut ? "upstream timed out" : "upstream unreachable";
    answer.body =
        "facepad-gateway-sim could not relay /" + path + " to " + m_url + ": " +
        (detail.empty() ? Osmer_Framework::Terminal_Http_ErrorName(m_client.GetLastPostError())
                        : detail) +
        (m_client.GetLastPostWritten() ? "; the gateway may have carried it out"
                                       : "; it never reached the gateway");
    return answer;
}

}  // namespace facepad::sim
