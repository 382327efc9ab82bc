#include "child_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace facepad::bench {

namespace {

double Now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

}  // namespace

ChildProgram::ChildProgram(const std::vector<std::string>& argv, const std::string& output)
{
    std::vector<std::string> args = argv;
    std::vector<char*> pointers;
    for (std::string& arg : args) {
        pointers.push_back(arg.data());
    }
    pointers.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    m_started = Now();
    const int failed =
        posix_spawn(&m_pid, pointers[0], &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (failed != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProgram::~ChildProgram()
{
    Kill(SIGKILL);
}

Finished ChildProgram::Wait()
{
    Finished finished;
    int status = 0;
    rusage usage{};
    if (m_pid > 0 && wait4(m_pid, &status, 0, &usage) == m_pid) {
        finished.seconds = Now() - m_started;
        finished.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        finished.peakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;  // KB on Linux
        m_pid = -1;
    }
    return finished;
}

int ChildProgram::WaitForPort(const std::string& portFile) const
{
    for (;;) {
        std::ifstream file(portFile);
        int port = 0;
        if (file >> port && port > 0) {
            return port;
        }
        if (waitpid(m_pid, nullptr, WNOHANG) == m_pid) {
            return 0;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

double ChildProgram::PeakMemoryMb() const
{
    std::ifstream status("/proc/" + std::to_string(m_pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stod(line.substr(6)) / 1024.0;
        }
    }
    return -1.0;
}

void ChildProgram::Signal(int signal) const
{
    if (m_pid > 0) {
        kill(m_pid, signal);
    }
}

void ChildProgram::Kill(int signal)
{
    if (m_pid > 0) {
        kill(m_pid, signal);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}

Finished RunProgram(const std::vector<std::string>& argv, const std::string& output)
{
    return ChildProgram(argv, output).Wait();
}

}  // namespace facepad::bench
