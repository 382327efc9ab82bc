// Progress of a sync on stderr: a bar redrawn in place on a terminal, a plain line every tenth of
// the way (and for every failure) when stderr is a file or a pipe.
#pragma once

#include <cstddef>
#include <string>

namespace facepad::cli {

class SyncProgress {
public:
    SyncProgress(std::size_t total, bool enabled);
    void Step(std::size_t failed);
    void Failure(const std::string& line);
    void Done();

private:
    void Draw() const;

    std::size_t m_total;
    std::size_t m_done = 0;
    std::size_t m_failed = 0;
    bool m_enabled;
    bool m_terminal;
    std::size_t m_nextLine = 0;
};

}  // namespace facepad::cli
