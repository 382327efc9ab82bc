// Keep-alive connections of one Terminal_Http_Tool, grouped by origin. A caller takes a connection
// for the length of one request, so concurrent callers never share a socket.
#pragma once

#include <httplib.h>

#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

#include "Terminal_Http_Tool.h"
#include "http_url.h"

namespace Osmer_Framework {
namespace http {

class ConnectionPool {
public:
    explicit ConnectionPool(const Terminal_Http_Options& options);

    // An idle connection to the URL's origin (`origin` is url.OriginKey(), made once per request
    // by the caller), preferably the one this thread gave back last; or a new one.
    std::unique_ptr<httplib::Client> Acquire(const ParsedUrl& url, const std::string& origin);
    // A connection that is not pooled: closed when the caller drops it.
    std::unique_ptr<httplib::Client> Open(const ParsedUrl& url) const;
    // Back to the idle set when it is still open and there is room; otherwise closed.
    void Release(const std::string& origin, std::unique_ptr<httplib::Client> connection);

    void SetOptions(const Terminal_Http_Options& options);
    Terminal_Http_Options Options() const;

private:
    struct IdleConnection {
        std::unique_ptr<httplib::Client> client;
        std::thread::id lastUser;
    };
    using IdleList = std::vector<IdleConnection>;

    std::unique_ptr<httplib::Client> OpenLocked(const ParsedUrl& url) const;
    static IdleList::iterator PickFor(IdleList& idle, std::thread::id self);

    mutable std::mutex m_mutex;
    Terminal_Http_Options m_options;
    std::unordered_map<std::string, IdleList> m_idle;
};

}  // namespace http
}  // namespace Osmer_Framework
