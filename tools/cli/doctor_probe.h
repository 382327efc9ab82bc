// What `doctor` measures below the adapter, with the HTTP client's own resolver, sockets and reply
// reader: how long a name takes to resolve and to which addresses, how long each address takes to
// accept, and requests on a connection doctor holds itself, so that it sees the answers' headers
// and when, and by whom, an idle connection ends. It sends what the adapter sends, byte for byte.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tcp_socket.h"

namespace facepad::cli::doctor {

using Clock = std::chrono::steady_clock;
using Millis = std::chrono::duration<double, std::milli>;

struct Resolved {
    bool numeric = false;                // an address already: nothing was looked up
    std::vector<std::string> addresses;  // numeric, in the resolver's order (the adapter's too)
    Millis took{};
    std::string problem;  // why it did not resolve; empty when it did
};
Resolved Resolve(const std::string& host, int port, Clock::time_point deadline);

struct Connected {
    std::string address;
    Millis took{};
    std::string problem;  // "connection refused", "no answer within 3.0 s"; empty when connected
};
// Connects to exactly `address` (numeric), keeping the connection in `socket` when it answers.
Connected Connect(const std::string& address, int port, Clock::time_point deadline,
                  Osmer_Framework::http::TcpSocket& socket);

struct Answer {
    bool complete = false;  // a whole HTTP answer came
    std::string problem;    // otherwise why not
    int status = 0;
    std::string head;  // the final answer's status line and header lines, as received
    std::string body;  // its first 4 KiB
    bool keepAlive = false;
    long keepAliveTimeout = -1;  // seconds, from "Keep-Alive: timeout="; -1 without one
    Millis took{};               // from the first byte sent to the last byte of the answer
    std::size_t bodySent = 0;    // of the request's body, before an answer stopped the sending
};
// Posts `body` to `path` (with the Host header of `url`, as the adapter does) and reads the
// answer. An answer that comes before the whole body went out (a 413) stops the sending.
Answer Ask(Osmer_Framework::http::TcpSocket& socket, const std::string& url, int port,
           const std::string& path, const std::string& body, Clock::time_point deadline);

// The value of the first header `name` (any case) in `head`, or "".
std::string HeaderValue(const std::string& head, const std::string& name);

struct IdleEnd {
    std::string how;  // "closed", "reset", ... by the peer within the watch; empty: still open
    Millis after{};   // when it ended, or how long the watch lasted
};
// Holds the idle connection until the peer ends it or `until` passes.
IdleEnd WatchIdle(Osmer_Framework::http::TcpSocket& socket, Clock::time_point until);

// "0.4 ms", "12 ms", "2.3 s": durations as a person reads them.
std::string Duration(Millis took);

}  // namespace facepad::cli::doctor
