#include "child_process.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace simtest {

namespace {

using Clock = std::chrono::steady_clock;

std::vector<char*> ArgvOf(const std::vector<std::string>& argv)
{
    std::vector<char*> pointers;
    for (const std::string& arg : argv) {
        pointers.push_back(const_cast<char*>(arg.c_str()));
    }
    pointers.push_back(nullptr);
    return pointers;
}

// Spawns `argv` with stdout on a pipe (returned in `readEnd`) and stderr on `stderrTarget`:
// the pipe as well when -1, else that descriptor.
pid_t Spawn(const std::vector<std::string>& argv, int& readEnd, int stderrTarget)
{
    int pipeEnds[2];
    if (pipe2(pipeEnds, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 1);
    posix_spawn_file_actions_adddup2(&actions, stderrTarget < 0 ? pipeEnds[1] : stderrTarget, 2);
    pid_t pid = -1;
    auto args = ArgvOf(argv);
    const int failed = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(pipeEnds[1]);
    if (failed != 0) {
        close(pipeEnds[0]);
        throw std::runtime_error("cannot start " + argv[0]);
    }
    readEnd = pipeEnds[0];
    return pid;
}

// Reads what is available within `limit`; false at end of file or time-out.
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

std::optional<int> WaitFor(pid_t pid, Clock::time_point deadline)
{
    for (;;) {
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid) {
            return ExitCodeOf(status);
        }
        if (Clock::now() >= deadline) {
            return std::nullopt;
        }
        // No portable event for a child's end without a SIGCHLD handler; a short nap is bounded
        // by the caller's limit.
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

}  // namespace

Finished RunToEnd(const std::vector<std::string>& argv, std::chrono::seconds limit)
{
    Finished finished;
    int output = -1;
    const pid_t pid = Spawn(argv, output, -1);
    const auto deadline = Clock::now() + limit;
    while (ReadSome(output, finished.output, deadline)) {
    }
    close(output);
    const auto code = WaitFor(pid, deadline);
    if (!code) {
        kill(pid, SIGKILL);
        waitpid(pid, nullptr, 0);
        return finished;
    }
    finished.exitCode = *code;
    return finished;
}

Child::Child(const std::vector<std::string>& argv)
{
    static std::atomic<int> counter{0};
    m_stderrPath =
        "/tmp/facepad_child_" + std::to_string(getpid()) + "_" + std::to_string(counter++) + ".err";
    const int errFd = open(m_stderrPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    m_pid = Spawn(argv, m_stdout, errFd);
    close(errFd);
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
    const auto code = WaitFor(m_pid, Clock::now() + limit);
    m_ended = code.has_value();
    return code;
}

std::string Child::Stderr() const
{
    std::ifstream file(m_stderrPath);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

bool PollConnect(int port, std::chrono::milliseconds limit)
{
    const auto deadline = Clock::now() + limit;
    for (;;) {
        const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(static_cast<uint16_t>(port));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool connected =
            connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        close(fd);
        if (connected) {
            return true;
        }
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

}  // namespace simtest
