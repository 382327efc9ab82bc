// Progress of a sync on stderr, while it sends and while it waits for results: a line redrawn in
// place on a terminal (at most ten times a second, so that a million requests do not write
// megabytes of redraws), and a plain line every tenth of the way or every 30 s (and one for every
// failure) when stderr is a file or a pipe. Each shows the rate and, while sending, the time left.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace facepad::cli {

class ProgressLine {
public:
    ProgressLine(std::size_t total, bool enabled);
    // `done` of the total so far; `what` says of what ("sent, 2 failed").
    void Show(std::size_t done, const std::string& what);
    // A line of its own above the progress (a failure).
    void Print(const std::string& line);
    // The last state, whatever the rate limit held back, and the end of the line.
    void End();

private:
    void Draw(bool plainLine);

    using Clock = std::chrono::steady_clock;
    std::size_t m_total;
    bool m_enabled;
    bool m_terminal;
    Clock::time_point m_start = Clock::now();
    Clock::time_point m_lastDraw{};
    std::size_t m_done = 0;
    std::string m_what;
    std::size_t m_nextLine = 0;
    bool m_drawn = false;
    std::size_t m_drawnDone = 0;
};

// Sending: "[####....] 1200/10000 sent, 3 failed, 410/s, 21 s left" (and "2 uncertain" when some
// may have been carried out).
class SyncProgress {
public:
    SyncProgress(std::size_t total, bool enabled) : m_line(total, enabled) {}
    void Step(std::size_t failed, std::size_t uncertain);
    void Failure(const std::string& line) { m_line.Print(line); }
    void Done() { m_line.End(); }

private:
    ProgressLine m_line;
    std::size_t m_done = 0;
};

}  // namespace facepad::cli
