// Starts the project's programs as child processes and talks to them the way a script would.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace simtest {

struct Finished {
    int exitCode = -1;   // 137 (128 + SIGKILL) when it did not end within the limit
    std::string output;  // stdout and stderr together
};

// Runs a program to its end; kills it after `limit`.
Finished RunToEnd(const std::vector<std::string>& argv, std::chrono::seconds limit);

// A program that keeps running: its stdout is read line by line, its stderr kept in a file.
class Child {
public:
    explicit Child(const std::vector<std::string>& argv);
    ~Child();  // kills the program if it still runs
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    // The next stdout line, or nothing when none comes within `limit` or stdout closed.
    std::optional<std::string> ReadLine(std::chrono::milliseconds limit);
    void Signal(int signal);
    // The exit code (128 + signal for a killed program), or nothing within `limit`.
    std::optional<int> WaitExit(std::chrono::milliseconds limit);
    std::string Stderr() const;
    pid_t Pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_stderrPath;
    std::string m_pending;
    bool m_ended = false;
};

}  // namespace simtest
