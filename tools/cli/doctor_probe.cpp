#include "doctor_probe.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <mutex>

#include "name_resolver.h"
#include "post_target.h"
#include "reply_reader.h"

namespace facepad::cli::doctor {

namespace {

namespace http = Osmer_Framework::http;

constexpr std::size_t kBodyKept = 4 * 1024;
constexpr std::size_t kHeadKept = 64 * 1024;  // the reply reader's own bound on head lines

// The resolver needs the socket library started on Windows; the client starts it when it first
// connects, but doctor resolves before it connects.
void StartSockets()
{
#ifdef _WIN32
    static std::once_flag once;
    std::call_once(once, [] {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    });
#endif
}

std::string NumericAddress(const addrinfo& address)
{
    char text[NI_MAXHOST] = "";
    getnameinfo(address.ai_addr, static_cast<socklen_t>(address.ai_addrlen), text, sizeof text,
                nullptr, 0, NI_NUMERICHOST);
    return text;
}

std::string Failure(http::IoStatus status, Millis waited)
{
    switch (status) {
    case http::IoStatus::Timeout:
        return "no answer within " + Duration(waited);
    case http::IoStatus::Refused:
        return "connection refused";
    case http::IoStatus::Reset:
        return "connection reset by the peer";
    case http::IoStatus::Closed:
        return "connection closed by the peer";
    default:
        return "the connection failed";
    }
}

std::string ReaderFailure(http::ReplyState state)
{
    switch (state) {
    case http::ReplyState::HeadTooLarge:
    case http::ReplyState::BodyTooLarge:
        return "the answer is larger than the adapter reads";
    case http::ReplyState::Malformed:
        return "the answer is not HTTP/1.x";
    default:
        return "the connection ended in the middle of the answer";
    }
}

// The head of the final answer: interim 1xx answers come before it.
std::string FinalHead(const std::string& received)
{
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = received.find("\r\n\r\n", start);
        if (end == std::string::npos) {
            return received.substr(start);
        }
        const bool interim = end > start + 9 && received[start + 9] == '1';
        if (!interim || end + 4 >= received.size()) {
            return received.substr(start, end - start);
        }
        start = end + 4;
    }
}

bool SameLetters(const std::string& text, std::size_t at, const std::string& name)
{
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(text[at + i])) !=
            std::tolower(static_cast<unsigned char>(name[i]))) {
            return false;
        }
    }
    return true;
}

// One request and its answer, watching for an answer while the body goes out.
class Exchange {
public:
    Exchange(http::TcpSocket& socket, Clock::time_point deadline)
        : m_socket(socket), m_deadline(deadline), m_reader(http::ReplyLimits{}, m_body)
    {
    }

    Answer Run(const std::string& head, const std::string& body)
    {
        const auto started = Clock::now();
        Send(head, body);
        while (!m_reader.Finished() && m_io == http::IoStatus::Done) {
            ReceiveOnce();
        }
        m_answer.took = Clock::now() - started;
        m_answer.bodySent = m_sent > head.size() ? m_sent - head.size() : 0;
        Conclude();
        return m_answer;
    }

private:
    void Send(const std::string& head, const std::string& body)
    {
        const std::size_t total = head.size() + body.size();
        while (m_sent < total && !m_reader.Finished() && m_io == http::IoStatus::Done) {
            const std::size_t before = m_sent;
            m_io = m_socket.SendSome(head, body, m_sent);
            if (m_io != http::IoStatus::Done || m_sent > before) {
                continue;
            }
            bool readable = false;
            m_io = m_socket.WaitToSend(m_deadline, nullptr, readable);
            if (m_io == http::IoStatus::Done && readable) {
                ReceiveOnce();
            }
        }
        // A send that failed may still have left an answer to read (a 413 and a close).
        m_io = m_reader.Finished() ? m_io : http::IoStatus::Done;
    }

    void ReceiveOnce()
    {
        char buffer[16 * 1024];
        std::size_t received = 0;
        m_io = m_socket.ReceiveSome(buffer, sizeof buffer, m_deadline, nullptr, received);
        if (m_io == http::IoStatus::Closed) {
            m_reader.FeedEnd();
            m_closed = true;
            m_io = http::IoStatus::Done;
        } else if (m_io == http::IoStatus::Done) {
            const std::size_t room = kHeadKept - std::min(kHeadKept, m_received.size());
            m_received.append(buffer, std::min(room, received));
            m_reader.Feed(buffer, received);
        }
    }

    void Conclude()
    {
        if (m_reader.State() != http::ReplyState::Complete) {
            if (m_received.empty()) {
                m_answer.problem = m_closed ? "the connection was closed without an answer"
                                            : Failure(m_io, m_answer.took);
            } else {
                m_answer.problem = m_reader.Finished() ? ReaderFailure(m_reader.State())
                                                       : Failure(m_io, m_answer.took);
            }
            return;
        }
        m_answer.complete = true;
        m_answer.status = m_reader.Status();
        m_answer.head = FinalHead(m_received);
        m_answer.body = m_body.substr(0, kBodyKept);
        m_answer.keepAlive = m_reader.KeepAlive() && !m_closed;
        m_answer.keepAliveTimeout = m_reader.KeepAliveTimeout();
    }

    http::TcpSocket& m_socket;
    const Clock::time_point m_deadline;
    std::string m_body;
    http::ReplyReader m_reader;
    std::string m_received;  // the first bytes, for the head
    Answer m_answer;
    std::size_t m_sent = 0;
    http::IoStatus m_io = http::IoStatus::Done;
    bool m_closed = false;
};

}  // namespace

std::string Duration(Millis took)
{
    char text[32];
    const double ms = took.count();
    if (ms < 1) {
        std::snprintf(text, sizeof text, "%.2f ms", ms);
    } else if (ms < 10) {
        std::snprintf(text, sizeof text, "%.1f ms", ms);
    } else if (ms < 1000) {
        std::snprintf(text, sizeof text, "%.0f ms", ms);
    } else {
        std::snprintf(text, sizeof text, "%.1f s", ms / 1000);
    }
    return text;
}

Resolved Resolve(const std::string& host, int port, Clock::time_point deadline)
{
    StartSockets();
    Resolved resolved;
    const auto started = Clock::now();
    const http::Resolution lookup = http::ResolveHost(host, port, deadline, nullptr);
    resolved.took = Clock::now() - started;
    if (lookup.status != http::ResolveStatus::Resolved) {
        resolved.problem = lookup.reason;
        return resolved;
    }
    for (const addrinfo* address = lookup.addresses.get(); address != nullptr;
         address = address->ai_next) {
        const std::string text = NumericAddress(*address);
        if (std::find(resolved.addresses.begin(), resolved.addresses.end(), text) ==
            resolved.addresses.end()) {
            resolved.addresses.push_back(text);
        }
    }
    resolved.numeric = resolved.addresses.size() == 1 && resolved.addresses[0] == host;
    return resolved;
}

Connected Connect(const std::string& address, int port, Clock::time_point deadline,
                  http::TcpSocket& socket)
{
    Connected connected{address, Millis{}, std::string()};
    const auto started = Clock::now();
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - started);
    std::string why;
    const http::IoStatus status =
        http::TcpSocket::Connect(address, port, {limit, deadline}, nullptr, socket, why);
    connected.took = Clock::now() - started;
    if (status == http::IoStatus::Timeout) {
        connected.problem = "did not accept within " + Duration(connected.took);
    } else if (status != http::IoStatus::Done) {
        connected.problem = why.empty() ? Failure(status, connected.took) : why;
    }
    return connected;
}

Answer Ask(http::TcpSocket& socket, const std::string& url, int port, const std::string& path,
           const std::string& body, Clock::time_point deadline)
{
    http::PostTarget* target = http::TargetFor(url + ":" + std::to_string(port) + "/" + path);
    if (target == nullptr) {
        Answer refused;
        refused.problem = "the URL does not parse";
        return refused;
    }
    return Exchange(socket, deadline).Run(target->RequestHead(body.size(), false), body);
}

std::string HeaderValue(const std::string& head, const std::string& name)
{
    std::size_t line = head.find("\r\n");
    while (line != std::string::npos) {
        line += 2;
        const std::size_t end = std::min(head.find("\r\n", line), head.size());
        const std::size_t colon = head.find(':', line);
        if (colon < end && colon - line == name.size() && SameLetters(head, line, name)) {
            const std::size_t value = head.find_first_not_of(" \t", colon + 1);
            const std::size_t last = head.find_last_not_of(" \t", end - 1);
            return value <= last && value < end ? head.substr(value, last - value + 1) : "";
        }
        line = end < head.size() ? end : std::string::npos;
    }
    return std::string();
}

IdleEnd WatchIdle(http::TcpSocket& socket, Clock::time_point until)
{
    IdleEnd end;
    const auto started = Clock::now();
    char byte = 0;
    std::size_t received = 0;
    const http::IoStatus status = socket.ReceiveSome(&byte, 1, until, nullptr, received);
    end.after = Clock::now() - started;
    if (status == http::IoStatus::Closed) {
        end.how = "closed";
    } else if (status == http::IoStatus::Reset) {
        end.how = "reset";
    } else if (status == http::IoStatus::Done) {
        end.how = "sent bytes nobody asked for on";  // the adapter closes such a connection
    } else if (status != http::IoStatus::Timeout) {
        end.how = "broke";
    }
    return end;
}

}  // namespace facepad::cli::doctor
