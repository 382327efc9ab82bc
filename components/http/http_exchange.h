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
    // At least one byte of the request went into the connection: from then on the peer may have
    // acted on it, and it is never sent again (unless the peer answers that it did not).
    bool requestWritten = false;
    bool answerStarted = false;  // at least one byte of an answer came
    long keepAliveTimeout = -1;  // seconds, from the answer's Keep-Alive header; -1 without one
};

// Sends `head` and `body` while watching for an answer (a gateway may answer before it has read a
// large body, and close), then reads the answer's body into `reply` (emptied first; emptied again
// when no whole answer came), keeping at most `keepReplyBytes` of it.
ExchangeOutcome Exchange(TcpSocket& socket, const std::string& head, const std::string& body,
                         std::string& reply, std::size_t keepReplyBytes,
                         const Terminal_Http_Options& options, Deadline deadline,
                         CancelSignal* cancel);

// What a socket status means to the caller of a POST.
Terminal_Http_Error ErrorOf(IoStatus status);

}  // namespace http
}  // namespace Osmer_Framework
