// The simulator's log line for one request: time, method, path, status, body size, and the start
// of the answer (or the fault that replaced it).
#pragma once

#include <cstddef>
#include <string>

namespace facepad::sim {

struct LoggedRequest {
    std::string method;
    std::string path;
    int status = 0;
    std::size_t bodyBytes = 0;
    std::string answer;  // the reply body; cut to one short line
    std::string fault;   // empty unless a fault replaced the answer
};

std::string FormatRequestLine(const LoggedRequest& request);

}  // namespace facepad::sim
