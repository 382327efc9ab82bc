// One request and its answer on one connection, bounded by the caller's deadlines and limits.
#pragma once

#include <string>

#include "Terminal_Http_Tool.h"
#include "reply_reader.h"
#include "tcp_socket.h"

namespace Osmer_Framework {
namespace http {

struct ExchangeOutcome {
    Terminal_Http_Error error = Terminal_Http_Error::None;
    int status = 0;
    bool keepAlive = false;  // the connection may carry the next request
    // The request provably never reached the peer's program: the connection was reset before a
    // single byte of an answer came. Only then may it be sent again on another connection.
    bool neverRead = false;
};

// Sends `head` and `body`, reads the answer's body into `reply` (emptied first; emptied again when
// no whole answer came).
ExchangeOutcome Exchange(TcpSocket& socket, const std::string& head, const std::string& body,
                         std::string& reply, const Terminal_Http_Options& options,
                         Deadline deadline, CancelSignal* cancel);

// What a socket status means to the caller of a POST.
Terminal_Http_Error ErrorOf(IoStatus status);

}  // namespace http
}  // namespace Osmer_Framework
