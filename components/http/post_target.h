// The parsed URL of a POST, its connection-pool key and the fixed start of its request head,
// remembered per thread: the adapter posts to a few fixed URLs again and again, and parsing each
// anew was a third of this client's own work per request.
#pragma once

#include <cstddef>
#include <string>

#include "http_url.h"

namespace Osmer_Framework {
namespace http {

struct PostTarget {
    ParsedUrl url;
    std::string origin;      // url.OriginKey()
    std::string headPrefix;  // request line and headers, up to the Content-Length value

    // Written into the target's own buffer, whose room stays for the thread's next request.
    const std::string& RequestHead(std::size_t bodyBytes, bool closeAfter);

private:
    std::string m_head;
};

// Null when `url` does not parse. Valid until the calling thread's next call.
PostTarget* TargetFor(const std::string& url);

}  // namespace http
}  // namespace Osmer_Framework
