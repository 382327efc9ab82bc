// The parsed URL of a POST and its connection-pool key, remembered per thread: the adapter posts to
// a few fixed URLs again and again, and parsing each anew was a third of this client's own work
// per request.
#pragma once

#include <string>

#include "http_url.h"

namespace Osmer_Framework {
namespace http {

struct PostTarget {
    ParsedUrl url;
    std::string origin;  // url.OriginKey()
};

// Null when `url` does not parse. Valid until the calling thread's next call.
const PostTarget* TargetFor(const std::string& url);

}  // namespace http
}  // namespace Osmer_Framework
