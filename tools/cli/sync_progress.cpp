#include "sync_progress.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <cstdio>

namespace facepad::cli {

namespace {

constexpr std::size_t kBarWidth = 40;

// The bar is redrawn with a carriage return and an ANSI erase, which a Windows console follows
// only once asked to; where it cannot be asked, stderr gets the plain lines.
bool StderrIsTerminal()
{
#ifdef _WIN32
    const HANDLE console = GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    return GetConsoleMode(console, &mode) != 0 &&
           SetConsoleMode(console, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
#else
    return ::isatty(STDERR_FILENO) == 1;
#endif
}

}  // namespace

SyncProgress::SyncProgress(std::size_t total, bool enabled)
    : m_total(total), m_enabled(enabled && total > 0), m_terminal(StderrIsTerminal())
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
