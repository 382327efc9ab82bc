#include "sync_progress.h"

#include <unistd.h>

#include <cstdio>

namespace facepad::cli {

namespace {
constexpr std::size_t kBarWidth = 40;
}

SyncProgress::SyncProgress(std::size_t total, bool enabled)
    : m_total(total), m_enabled(enabled && total > 0), m_terminal(::isatty(STDERR_FILENO) == 1)
{
}

void SyncProgress::Draw() const
{
    const std::size_t filled = m_done * kBarWidth / m_total;
    std::fprintf(stderr, "\r[%s%s] %zu/%zu sent, %zu failed", std::string(filled, '#').c_str(),
                 std::string(kBarWidth - filled, '.').c_str(), m_done, m_total, m_failed);
    std::fflush(stderr);
}

void SyncProgress::Step(std::size_t failed)
{
    if (!m_enabled) {
        return;
    }
    ++m_done;
    m_failed = failed;
    if (m_terminal) {
        Draw();
    } else if (m_done >= m_nextLine || m_done == m_total) {
        std::fprintf(stderr, "progress: %zu/%zu sent, %zu failed\n", m_done, m_total, m_failed);
        m_nextLine = m_done + (m_total + 9) / 10;
    }
}

void SyncProgress::Failure(const std::string& line)
{
    if (m_enabled) {
        std::fprintf(stderr, "%s%s\n", m_terminal ? "\r\033[K" : "", line.c_str());
        if (m_terminal) {
            Draw();
        }
    }
}

void SyncProgress::Done()
{
    if (m_enabled && m_terminal) {
        std::fprintf(stderr, "\n");
    }
}

}  // namespace facepad::cli
