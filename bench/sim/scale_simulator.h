// The simulator as the scale benches run it: on a free port, quiet, its state in a file; and the
// one way they post to it.
#pragma once

#include <httplib.h>

#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "child_program.h"

namespace facepad::bench {

class ScaleSimulator {
public:
    ScaleSimulator(const std::string& simulator, const std::string& directory,
                   const std::string& state, const std::vector<std::string>& terminals)
        : m_portFile(directory + "/sim.port"),
          m_program(Args(simulator, state, terminals, RemovedFirst(m_portFile)))
    {
    }
    int WaitForPort() const { return m_program.WaitForPort(m_portFile); }
    double PeakMemoryMb() const { return m_program.PeakMemoryMb(); }
    void Kill(int signal) { m_program.Kill(signal); }

private:
    static const std::string& RemovedFirst(const std::string& path)
    {
        std::remove(path.c_str());
        return path;
    }
    static std::vector<std::string> Args(const std::string& simulator, const std::string& state,
                                         const std::vector<std::string>& terminals,
                                         const std::string& portFile)
    {
        std::vector<std::string> args = {simulator, "--port",  "0",   "--port-file",
                                         portFile,  "--state", state, "--quiet"};
        for (const std::string& terminal : terminals) {
            args.insert(args.end(), {"--terminal", terminal});
        }
        return args;
    }

    std::string m_portFile;
    ChildProgram m_program;
};

// Posts and throws, naming the path, unless the answer is 200.
inline void Post(httplib::Client& client, const char* path, const std::string& body)
{
    const auto reply = client.Post(path, body, "text/plain");
    if (!reply || reply->status != 200) {
        throw std::runtime_error(std::string(path) + " failed: " +
                                 (reply ? reply->body : httplib::to_string(reply.error())));
    }
}

// Removes a state database and its companion files.
inline void RemoveState(const std::string& state)
{
    for (const char* suffix : {"", "-wal", "-shm", ".lock"}) {
        std::remove((state + suffix).c_str());
    }
}

}  // namespace facepad::bench
