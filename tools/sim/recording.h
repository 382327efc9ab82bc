// A recording of what a real gateway answered through the front, one JSON line per exchange, and
// its playback: each request answered with what was recorded for the same path and body, so that
// a host's CI can run against what a site's gateway said.
#pragma once

#include <cstddef>
#include <fstream>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "gateway_front.h"

namespace facepad::sim {

class RecordingWriter {
public:
    // Starts an empty recording at `file`; throws std::runtime_error naming it when it cannot.
    explicit RecordingWriter(const std::string& file);
    // Thread-safe; each line reaches the file before the answer goes back to the host. Only
    // answers the gateway gave are recorded.
    void Write(const std::string& path, const std::string& body, const FrontAnswer& answer);

private:
    std::mutex m_mutex;
    std::ofstream m_out;
};

class RecordingPlayer {
public:
    // Throws std::runtime_error "FILE:LINE: why" when `file` is not a recording.
    explicit RecordingPlayer(const std::string& file);

    // The next answer recorded for this path and body, in the order they were recorded; once
    // they are used up, the last one again, but for facepad/getresult, whose results are handed
    // out once: "result=[]". A request never recorded gets 404 and the fault "no recording".
    // Thread-safe.
    FrontAnswer Answer(const std::string& path, const std::string& body);
    std::size_t Recorded() const { return m_recorded; }
    std::size_t Unrecorded() const;  // requests answered "no recording" so far

private:
    struct Replies {
        std::vector<FrontAnswer> recorded;
        std::size_t next = 0;
    };

    const std::string m_file;
    mutable std::mutex m_mutex;
    std::map<std::string, Replies> m_replies;  // by RequestKey()
    std::size_t m_recorded = 0;
    std::size_t m_unrecorded = 0;
};

}  // namespace facepad::sim
