#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

// `word` as one shell word.
std::string Quoted(const std::string& word)
{
    std::string quoted = "'";
    for (const char c : word) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

// Reads what is available before `deadline`; false at end of file or time-out.
bool ReadSome(int fd, std::string& into, Clock::time_point deadline)
{
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    pollfd waiting{fd, POLLIN, 0};
    if (left.count() <= 0 || poll(&waiting, 1, static_cast<int>(left.count())) <= 0) {
        return false;
    }
    char buffer[4096];
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got <= 0) {
        return false;
    }
    into.append(buffer, static_cast<std::size_t>(got));
    return true;
}

int ExitCodeOf(int status)
{
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

}  // namespace

Finished RunToEnd(const std::vector<std::string>& argv, std::chrono::seconds limit)
{
    // coreutils' timeout ends a program that hangs, so the test fails instead of stalling.
    std::string command = "timeout -s KILL " + std::to_string(limit.count());
    for (const std::string& word : argv) {
        command += " " + Quoted(word);
    }
    Finished finished;
    std::FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) {
        return finished;
    }
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        finished.output.append(buffer, got);
    }
    finished.exitCode = ExitCodeOf(pclose(pipe));
    return finished;
}

Child::Child(const std::vector<std::string>& argv)
{
    static std::atomic<int> counter{0};
    m_stderrPath =
        "/tmp/facepad_child_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".err";
    const int errFd = open(m_stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errFd, 2);
    std::vector<char*> args;
    for (const std::string& arg : argv) {
        args.push_back(const_cast<char*>(arg.c_str()));
    }
    args.push_back(nullptr);
    const int failed = posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    close(errFd);
    m_stdout = pipeEnds[0];
    if (failed != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

Child::~Child()
{
    if (!m_ended) {
        kill(m_pid, SIGKILL);
        waitpid(m_pid, nullptr, 0);
    }
    close(m_stdout);
    unlink(m_stderrPath.c_str());
}

std::optional<std::string> Child::ReadLine(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const auto newline = m_pending.find('\n');
        if (newline != std::string::npos) {
            std::string line = m_pending.substr(0, newline);
            m_pending.erase(0, newline + 1);
            return line;
        }
        if (!ReadSome(m_stdout, m_pending, deadline)) {
            return std::nullopt;
        }
    }
}

void Child::Signal(int signal)
{
    kill(m_pid, signal);
}

std::optional<int> Child::WaitExit(std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    int status = 0;
    // No portable event for a child's end without a SIGCHLD handler; a short nap is bounded by
    // the caller's limit.
    while (waitpid(m_pid, &status, WNOHANG) != m_pid) {
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    m_ended = true;
    return ExitCodeOf(status);
}

std::string Child::Stderr() const
{
    std::ifstream file(m_stderrPath);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace simtest
