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
constexpr auto kRedraw = std::chrono::milliseconds(100);
constexpr auto kPlainLineEvery = std::chrono::seconds(30);

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

std::string Rate(std::size_t done, std::chrono::steady_clock::duration spent)
{
    const double seconds = std::chrono::duration<double>(spent).count();
    return seconds > 0
               ? std::to_string(static_cast<long long>(static_cast<double>(done) / seconds)) + "/s"
               : std::string("-/s");
}

std::string TimeLeft(std::size_t done, std::size_t total, std::chrono::steady_clock::duration spent)
{
    if (done == 0 || done >= total) {
        return std::string();
    }
    const double seconds = std::chrono::duration<double>(spent).count() *
                           static_cast<double>(total - done) / static_cast<double>(done);
    return ", " + std::to_string(static_cast<long long>(seconds + 0.5)) + " s left";
}

}  // namespace

ProgressLine::ProgressLine(std::size_t total, bool enabled)
    : m_total(total), m_enabled(enabled && total > 0), m_terminal(StderrIsTerminal())
{
}

void ProgressLine::Draw(bool plainLine)
{
    const auto spent = Clock::now() - m_start;
    const std::string figures = std::to_string(m_done) + "/" + std::to_string(m_total) + " " +
                                m_what + ", " + Rate(m_done, spent) +
                                TimeLeft(m_done, m_total, spent);
    if (plainLine) {
        std::fprintf(stderr, "progress: %s\n", figures.c_str());
    } else {
        const std::size_t filled = m_done * kBarWidth / m_total;
        std::fprintf(stderr, "\r\033[K[%s%s] %s", std::string(filled, '#').c_str(),
                     std::string(kBarWidth - filled, '.').c_str(), figures.c_str());
    }
    std::fflush(stderr);
    m_lastDraw = Clock::now();
    m_drawn = true;
    m_drawnDone = m_done;
}

void ProgressLine::Show(std::size_t done, const std::string& what)
{
    if (!m_enabled) {
        return;
    }
    m_done = done;
    m_what = what;
    const bool due = Clock::now() - m_lastDraw >= (m_terminal ? kRedraw : kPlainLineEvery);
    if (m_terminal ? due : due || done >= m_nextLine) {
        Draw(!m_terminal);
        m_nextLine = done + (m_total + 9) / 10;
    }
}

void ProgressLine::Print(const std::string& line)
{
    if (m_enabled) {
        std::fprintf(stderr, "%s%s\n", m_terminal ? "\r\033[K" : "", line.c_str());
        if (m_terminal && m_drawn) {
            Draw(false);
        }
    }
}

void ProgressLine::End()
{
    if (m_enabled && m_drawn) {
        if (m_terminal || m_drawnDone != m_done) {
            Draw(!m_terminal);
        }
        if (m_terminal) {
            std::fprintf(stderr, "\n");
        }
    }
}

void SyncProgress::Step(std::size_t failed, std::size_t uncertain)
{
    m_line.Show(++m_done, "sent, " + std::to_string(failed) + " failed" +
                              (uncertain > 0 ? ", " + std::to_string(uncertain) + " uncertain"
                                             : std::string()));
}

}  // namespace facepad::cli
