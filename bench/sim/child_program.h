// A program the scale benches start and measure: its exit code, its wall time and its peak
// resident memory, or, for a server, its port once it listens.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace facepad::bench {

struct Finished {
    int exitCode = -1;
    double seconds = 0.0;
    double peakMb = 0.0;  // from the kernel's account of the ended process
};

class ChildProgram {
public:
    // Starts argv[0] with its stdout going to `output` (/dev/null by default).
    explicit ChildProgram(const std::vector<std::string>& argv,
                          const std::string& output = "/dev/null");
    ~ChildProgram();  // kills it if it still runs
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    // Waits for the end.
    Finished Wait();
    // Polls `portFile` until the program has written its port; 0 if it ended first.
    int WaitForPort(const std::string& portFile) const;
    // Peak resident memory so far, from /proc (VmHWM), in MB.
    double PeakMemoryMb() const;
    // Sends `signal` and goes on; Kill also waits for the end.
    void Signal(int signal) const;
    void Kill(int signal);

private:
    pid_t m_pid = -1;
    double m_started = 0.0;
};

// Runs to the end and measures.
Finished RunProgram(const std::vector<std::string>& argv, const std::string& output = "/dev/null");

}  // namespace facepad::bench
