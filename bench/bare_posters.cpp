#include "bare_posters.h"

namespace vvbench {

namespace {
constexpr const char* kHost = "127.0.0.1";
constexpr const char* kContentType = "text/plain";
}  // namespace

BareKeepAlivePoster::BareKeepAlivePoster(int port) : m_client(kHost, port)
{
    m_client.set_keep_alive(true);
    m_client.set_tcp_nodelay(true);
}

bool BareKeepAlivePoster::Post(const std::string& path, const std::string& body)
{
    const auto result = m_client.Post(path.c_str(), body, kContentType);
    return result && result->status == 200;
}

bool PostOnNewConnection(int port, const std::string& path, const std::string& body)
{
    httplib::Client client(kHost, port);
    client.set_tcp_nodelay(true);
    const auto result = client.Post(path.c_str(), body, kContentType);
    return result && result->status == 200;
}

}  // namespace vvbench
