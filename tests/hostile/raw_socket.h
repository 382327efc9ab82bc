// The few socket calls the hostile tests' servers make, alike on POSIX and Winsock.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>
#else
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vvtest {

#ifdef _WIN32
using RawSocket = SOCKET;
constexpr RawSocket kNoSocket = INVALID_SOCKET;
constexpr int kShutBoth = SD_BOTH;
constexpr int kShutSend = SD_SEND;
constexpr int kNoSigPipe = 0;
using IoLength = int;
inline void CloseSocket(RawSocket socket)
{
    closesocket(socket);
}
inline void StartSockets()
{
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
}
#else
using RawSocket = int;
constexpr RawSocket kNoSocket = -1;
constexpr int kShutBoth = SHUT_RDWR;
constexpr int kShutSend = SHUT_WR;
constexpr int kNoSigPipe = MSG_NOSIGNAL;
using IoLength = std::size_t;
inline void CloseSocket(RawSocket socket)
{
    close(socket);
}
inline void StartSockets() {}
#endif

inline long ReceiveSome(RawSocket socket, char* buffer, std::size_t capacity)
{
    return static_cast<long>(recv(socket, buffer, static_cast<IoLength>(capacity), 0));
}

inline long SendSome(RawSocket socket, const char* bytes, std::size_t size)
{
    return static_cast<long>(send(socket, bytes, static_cast<IoLength>(size), kNoSigPipe));
}

// A numeric IPv4 or IPv6 address and a port.
struct Endpoint {
    sockaddr_storage storage{};
    socklen_t length = 0;
    int family() const { return storage.ss_family; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
};

inline Endpoint EndpointOf(const char* address, int port)
{
    Endpoint endpoint;
    auto* v4 = reinterpret_cast<sockaddr_in*>(&endpoint.storage);
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&endpoint.storage);
    if (inet_pton(AF_INET, address, &v4->sin_addr) == 1) {
        v4->sin_family = AF_INET;
        v4->sin_port = htons(static_cast<std::uint16_t>(port));
        endpoint.length = sizeof(*v4);
    } else if (inet_pton(AF_INET6, address, &v6->sin6_addr) == 1) {
        v6->sin6_family = AF_INET6;
        v6->sin6_port = htons(static_cast<std::uint16_t>(port));
        endpoint.length = sizeof(*v6);
    } else {
        throw std::invalid_argument(std::string("not a numeric address: ") + address);
    }
    return endpoint;
}

// The port a bound socket got.
inline int PortOf(RawSocket socket)
{
    Endpoint bound;
    bound.length = sizeof(bound.storage);
    getsockname(socket, bound.get(), &bound.length);
    const bool v4 = bound.family() == AF_INET;
    return ntohs(v4 ? reinterpret_cast<const sockaddr_in*>(bound.get())->sin_port
                    : reinterpret_cast<const sockaddr_in6*>(bound.get())->sin6_port);
}

}  // namespace vvtest
