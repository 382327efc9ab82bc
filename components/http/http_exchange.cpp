#include "http_exchange.h"

#include <algorithm>

namespace Osmer_Framework {
namespace http {

namespace {

constexpr std::size_t kReceiveBufferBytes = 16 * 1024;

Deadline Earliest(Deadline deadline, std::chrono::milliseconds step)
{
    return std::min(deadline, Clock::now() + step);
}

ExchangeOutcome Failure(Terminal_Http_Error error, std::string& reply, bool neverRead = false)
{
    reply.clear();
    ExchangeOutcome outcome;
    outcome.error = error;
    outcome.neverRead = neverRead;
    return outcome;
}

Terminal_Http_Error ErrorOfReply(ReplyState state)
{
    switch (state) {
    case ReplyState::HeadTooLarge:
    case ReplyState::BodyTooLarge:
        return Terminal_Http_Error::ReplyTooLarge;
    case ReplyState::Malformed:
        return Terminal_Http_Error::BadReply;
    default:
        return Terminal_Http_Error::Transport;
    }
}

}  // namespace

Terminal_Http_Error ErrorOf(IoStatus status)
{
    switch (status) {
    case IoStatus::Done:
        return Terminal_Http_Error::None;
    case IoStatus::Timeout:
        return Terminal_Http_Error::Timeout;
    case IoStatus::Cancelled:
        return Terminal_Http_Error::Cancelled;
    case IoStatus::Refused:
        return Terminal_Http_Error::Connect;
    case IoStatus::Unresolved:
        return Terminal_Http_Error::Resolve;
    case IoStatus::Reset:
    case IoStatus::Closed:
    case IoStatus::Failed:
        break;
    }
    return Terminal_Http_Error::Transport;
}

ExchangeOutcome Exchange(TcpSocket& socket, const std::string& head, const std::string& body,
                         std::string& reply, const Terminal_Http_Options& options,
                         Deadline deadline, CancelSignal* cancel)
{
    reply.clear();
    const IoStatus sent =
        socket.SendAll(head, body, Earliest(deadline, options.writeTimeout), cancel);
    if (sent != IoStatus::Done) {
        return Failure(ErrorOf(sent), reply, sent == IoStatus::Reset);
    }
    ReplyReader reader(
        ReplyLimits{options.maxReplyLineBytes, options.maxReplyHeadBytes, options.maxReplyBytes},
        reply);
    char buffer[kReceiveBufferBytes];
    bool leftover = false;
    while (!reader.Finished()) {
        std::size_t received = 0;
        const IoStatus status = socket.ReceiveSome(
            buffer, sizeof(buffer), Earliest(deadline, options.readTimeout), cancel, received);
        if (status == IoStatus::Closed) {
            reader.FeedEnd();
            break;
        }
        if (status != IoStatus::Done) {
            const bool neverRead = status == IoStatus::Reset && !reader.SawAnyByte();
            return Failure(ErrorOf(status), reply, neverRead);
        }
        leftover = reader.Feed(buffer, received) < received;
    }
    if (reader.State() != ReplyState::Complete) {
        return Failure(ErrorOfReply(reader.State()), reply);
    }
    ExchangeOutcome outcome;
    outcome.status = reader.Status();
    // Bytes past the answer were never asked for: the connection is not to be trusted again.
    outcome.keepAlive = reader.KeepAlive() && !leftover;
    return outcome;
}

}  // namespace http
}  // namespace Osmer_Framework
