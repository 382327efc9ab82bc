// First: it brings httplib.h, which sets NOMINMAX before <winsock2.h> pulls in <windows.h>, and
// whose static initialiser starts Winsock in every program that includes it.
#include "adapter_fixture.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace vvtest {

namespace {

#ifdef _WIN32
using Socket = SOCKET;
void CloseSocket(Socket socket)
{
    closesocket(socket);
}
#else
using Socket = int;
void CloseSocket(Socket socket)
{
    close(socket);
}
#endif

}  // namespace

int UnusedLoopbackPort()
{
    const Socket fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    CloseSocket(fd);
    return ntohs(address.sin_port);
}

}  // namespace vvtest
