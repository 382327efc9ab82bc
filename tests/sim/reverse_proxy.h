// Debian's nginx and HAProxy as the reverse proxies a site puts in front of its gateway: started by
// the test on loopback ports with a configuration of the test's own, in a scratch folder, and
// stopped with the object. The machine's own configurations are never read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace simtest {

// A loopback port nothing listens on now.
int FreeLoopbackPort();

// A proxy program in the foreground, with a configuration in a scratch folder of its own, stopped
// with the object.
class ReverseProxy {
public:
    ~ReverseProxy();
    ReverseProxy(const ReverseProxy&) = delete;
    ReverseProxy& operator=(const ReverseProxy&) = delete;

    // Empty when it runs; else why it did not start (its error output).
    const std::string& Problem() const { return m_problem; }

protected:
    explicit ReverseProxy(const char* prefix);
    // Starts `argv` and waits until each of `ports` accepts; `log` is its error log, if any.
    void Start(std::vector<std::string> argv, const std::vector<int>& ports,
               const std::string& log);

    std::string m_folder;

private:
    std::unique_ptr<Child> m_process;
    std::string m_problem;
};

class Nginx : public ReverseProxy {
public:
    static constexpr char kBinary[] = "/usr/sbin/nginx";
    // Whether the binary is there (scripts/bootstrap installs nginx-light).
    static bool Installed();

    // `servers` is the body of nginx's http block (server and upstream blocks); `ports` are the
    // ports its servers listen on, waited for until they accept.
    Nginx(const std::string& servers, const std::vector<int>& ports);
};

class Haproxy : public ReverseProxy {
public:
    static constexpr char kBinary[] = "/usr/sbin/haproxy";
    static bool Installed();

    // `config` is a whole haproxy.cfg; `ports` as for Nginx.
    Haproxy(const std::string& config, const std::vector<int>& ports);
};

}  // namespace simtest
