#include "name_server.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace vvtest {

namespace {

constexpr int kDnsPort = 53;
constexpr std::size_t kHeaderBytes = 12;

bool AsksForNowhere(const char* query, std::size_t size)
{
    static const char kLabel[] = "\7nowhere";
    return size > kHeaderBytes + sizeof(kLabel) &&
           std::memcmp(query + kHeaderBytes, kLabel, sizeof(kLabel) - 1) == 0;
}

}  // namespace

std::unique_ptr<NameServer> NameServer::Start()
{
    const char* address = std::getenv("VV_PRIVATE_NAMESERVER");
    if (address == nullptr || *address == '\0') {
        return nullptr;
    }
    StartSockets();
    const Endpoint endpoint = EndpointOf(address, kDnsPort);
    const RawSocket socket = ::socket(endpoint.family(), SOCK_DGRAM, 0);
    if (socket == kNoSocket || bind(socket, endpoint.get(), endpoint.length) != 0) {
        throw std::runtime_error(std::string("name server: cannot bind ") + address + ":53");
    }
    return std::unique_ptr<NameServer>(new NameServer(socket, endpoint));
}

NameServer::NameServer(RawSocket socket, const Endpoint& address)
    : m_socket(socket), m_address(address), m_thread([this] { Serve(); })
{
}

// A datagram to itself wakes the blocked receive, on every platform alike.
NameServer::~NameServer()
{
    m_stopping = true;
    sendto(m_socket, "", 0, 0, m_address.get(), m_address.length);
    m_thread.join();
    CloseSocket(m_socket);
}

void NameServer::Serve()
{
    char message[512];
    for (;;) {
        Endpoint from;
        from.length = sizeof(from.storage);
        const long got =
            static_cast<long>(recvfrom(m_socket, message, static_cast<IoLength>(sizeof(message)), 0,
                                       from.get(), &from.length));
        if (m_stopping) {
            return;
        }
        const std::size_t size = got > 0 ? static_cast<std::size_t>(got) : 0;
        m_queries += size >= kHeaderBytes ? 1 : 0;
        if (AsksForNowhere(message, size)) {
            message[2] = static_cast<char>(message[2] | 0x80);  // the query becomes its answer:
            message[3] = static_cast<char>(0x83);  // recursion available, "no such name"
            sendto(m_socket, message, static_cast<IoLength>(size), 0, from.get(), from.length);
        }
    }
}

}  // namespace vvtest
