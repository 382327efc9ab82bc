// Debian's nginx as the reverse proxy a site puts in front of its gateway: started by the test on
// loopback ports with a configuration of the test's own, in a scratch folder, and stopped with the
// object. The machine's own nginx configuration is never read.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "child_process.h"

namespace simtest {

// A loopback port nothing listens on now.
int FreeLoopbackPort();

class Nginx {
public:
    static constexpr char kBinary[] = "/usr/sbin/nginx";
    // Whether the binary is there (scripts/bootstrap installs nginx-light).
    static bool Installed();

    // `servers` is the body of nginx's http block (server and upstream blocks); `ports` are the
    // ports its servers listen on, waited for until they accept.
    Nginx(const std::string& servers, const std::vector<int>& ports);
    ~Nginx();
    Nginx(const Nginx&) = delete;
    Nginx& operator=(const Nginx&) = delete;

    // Empty when it runs; else why it did not start (its error log).
    const std::string& Problem() const { return m_problem; }

private:
    std::string m_folder;
    std::unique_ptr<Child> m_process;
    std::string m_problem;
};

}  // namespace simtest
