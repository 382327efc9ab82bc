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

// The state of one exchange: what was sent, what was read, and why it stopped if it did.
class Conversation {
public:
    Conversation(TcpSocket& socket, std::string& reply, std::size_t keepReplyBytes,
                 const Terminal_Http_Options& options, Deadline deadline, CancelSignal* cancel)
        : m_socket(socket),
          m_reply(reply),
          m_options(options),
          m_deadline(deadline),
          m_cancel(cancel),
          m_reader(ReplyLimits{options.maxReplyLineBytes, options.maxReplyHeadBytes,
                               options.maxReplyBytes, keepReplyBytes},
                   reply)
    {
    }

    // Stops early when the peer answers (or goes) before it has taken the whole request.
    void Send(const std::string& head, const std::string& body)
    {
        m_total = head.size() + body.size();
        const std::size_t total = m_total;
        while (m_sent < total && !Stopped()) {
            const std::size_t before = m_sent;
            const IoStatus status = m_socket.SendSome(head, body, m_sent);
            if (status != IoStatus::Done) {
                return;  // an answer may still wait in the receive buffer
            }
            if (m_sent > before || m_sent == total) {
                continue;
            }
            bool readable = false;
            const IoStatus waited = m_socket.WaitToSend(
                Earliest(m_deadline, m_options.writeTimeout), m_cancel, readable);
            if (waited != IoStatus::Done) {
                m_ioError = waited;
            } else if (readable) {
                ReceiveOnce();
            }
        }
    }

    void Receive()
    {
        while (!Stopped()) {
            ReceiveOnce();
        }
    }

    ExchangeOutcome Outcome() const
    {
        ExchangeOutcome outcome;
        outcome.requestWritten = m_sent > 0;
        outcome.answerStarted = m_answerStarted;
        if (m_reader.State() != ReplyState::Complete) {
            m_reply.clear();
            outcome.error = m_reader.Finished()           ? ErrorOfReply(m_reader.State())
                            : m_ioError != IoStatus::Done ? ErrorOf(m_ioError)
                                                          : Terminal_Http_Error::Transport;
            return outcome;
        }
        outcome.status = m_reader.Status();
        // Bytes past the answer were never asked for, and an answer that came before the whole
        // request went out leaves the connection in no known state: neither is to be trusted again.
        outcome.keepAlive = m_reader.KeepAlive() && !m_leftover && m_sent == m_total;
        outcome.keepAliveTimeout = m_reader.KeepAliveTimeout();
        return outcome;
    }

private:
    bool Stopped() const { return m_reader.Finished() || m_ioError != IoStatus::Done; }

    void ReceiveOnce()
    {
        std::size_t received = 0;
        const auto now = Clock::now();
        const IoStatus status = m_socket.ReceiveSome(
            m_buffer, sizeof(m_buffer), std::min(m_deadline, now + m_options.readTimeout), m_cancel,
            received, now);
        if (status == IoStatus::Closed) {
            m_reader.FeedEnd();
        } else if (status != IoStatus::Done) {
            m_ioError = status;
        } else {
            m_answerStarted = true;
            m_leftover = m_reader.Feed(m_buffer, received) < received;
        }
    }

    TcpSocket& m_socket;
    std::string& m_reply;
    const Terminal_Http_Options& m_options;
    const Deadline m_deadline;
    CancelSignal* const m_cancel;
    ReplyReader m_reader;
    char m_buffer[kReceiveBufferBytes];
    std::size_t m_sent = 0;
    std::size_t m_total = 0;
    IoStatus m_ioError = IoStatus::Done;
    bool m_leftover = false;
    bool m_answerStarted = false;
};

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
                         std::string& reply, std::size_t keepReplyBytes,
                         const Terminal_Http_Options& options, Deadline deadline,
                         CancelSignal* cancel)
{
    reply.clear();
    Conversation conversation(socket, reply, keepReplyBytes, options, deadline, cancel);
    conversation.Send(head, body);
    conversation.Receive();
    return conversation.Outcome();
}

}  // namespace http
}  // namespace Osmer_Framework
