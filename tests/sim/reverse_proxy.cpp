#include "reverse_proxy.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

namespace simtest {

namespace {

using namespace std::chrono_literals;

sockaddr_in Loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

bool Accepts(int port)
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(port);
    const bool connected =
        connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    close(fd);
    return connected;
}

// A process nginx starts has no event to wait on but its port: polled, bounded.
bool WaitUntilAccepting(int port)
{
    for (const auto deadline = std::chrono::steady_clock::now() + 10s;
         std::chrono::steady_clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
        if (Accepts(port)) {
            return true;
        }
    }
    return false;
}

std::string FileText(const std::string& path)
{
    std::ifstream file(path);
    std::ostringstream text;
    text << file.rdbuf();
    return text.str();
}

}  // namespace

int FreeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
    getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
    close(fd);
    return ntohs(address.sin_port);
}

ReverseProxy::ReverseProxy(const char* prefix)
{
    std::string folder = std::string("/tmp/") + prefix + "_XXXXXX";
    m_folder = mkdtemp(folder.data());
}

// timeout hands the TERM on to the proxy and waits for it to go.
ReverseProxy::~ReverseProxy()
{
    if (m_process) {
        m_process->Signal(SIGTERM);
        m_process->WaitExit(10s);
    }
    m_process.reset();
    std::system(("rm -rf '" + m_folder + "'").c_str());
}

// Under coreutils' timeout: a test process killed before its destructor ran leaves no proxy
// behind for longer than a test may last.
void ReverseProxy::Start(std::vector<std::string> argv, const std::vector<int>& ports,
                         const std::string& log)
{
    argv.insert(argv.begin(), {"/usr/bin/timeout", "300"});
    m_process = std::make_unique<Child>(argv);
    for (const int port : ports) {
        if (!WaitUntilAccepting(port)) {
            m_problem = argv[2] + " does not listen on " + std::to_string(port) + ": " +
                        (log.empty() ? "" : FileText(log)) + m_process->Stderr();
            return;
        }
    }
}

bool Nginx::Installed()
{
    return access(kBinary, X_OK) == 0;
}

// One process in the foreground (no daemon, no workers), so that the test ends it with a signal.
// Run by root, nginx would hand its work to the user "nobody", who cannot use the scratch folder.
Nginx::Nginx(const std::string& servers, const std::vector<int>& ports)
    : ReverseProxy("facepad_nginx")
{
    std::ofstream(m_folder + "/nginx.conf")
        << (geteuid() == 0 ? "user root;\n" : "") << "daemon off;\nmaster_process off;\n"
        << "pid " << m_folder << "/nginx.pid;\nerror_log " << m_folder << "/error.log;\n"
        << "events { worker_connections 256; }\nhttp {\n  access_log off;\n"
        << "  client_body_temp_path " << m_folder << "/body;\n  proxy_temp_path " << m_folder
        << "/proxy;\n  fastcgi_temp_path " << m_folder << "/fastcgi;\n  uwsgi_temp_path "
        << m_folder << "/uwsgi;\n  scgi_temp_path " << m_folder << "/scgi;\n"
        << servers << "\n}\n";
    Start({kBinary, "-p", m_folder, "-c", m_folder + "/nginx.conf"}, ports,
          m_folder + "/error.log");
}

bool Haproxy::Installed()
{
    return access(kBinary, X_OK) == 0;
}

// -db: in the foreground, no daemon; its errors go to stderr.
Haproxy::Haproxy(const std::string& config, const std::vector<int>& ports)
    : ReverseProxy("facepad_haproxy")
{
    std::ofstream(m_folder + "/haproxy.cfg") << config;
    Start({kBinary, "-db", "-f", m_folder + "/haproxy.cfg"}, ports, "");
}

}  // namespace simtest
