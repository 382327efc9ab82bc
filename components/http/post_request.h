// How one POST is handed to httplib: the body written straight from the caller's string, and the
// answer's body appended to the caller's reply up to a size cap.
#pragma once

#include <httplib.h>

#include <cstddef>
#include <string>

namespace Osmer_Framework {
namespace http {

// Where the answer's body goes. Outlives the request it is attached to.
struct ReplySink {
    std::string* reply;
    std::size_t cap;
    bool tooLarge = false;
};

// `body` and `sink` must outlive the send: the request refers to both, it copies neither.
void PreparePost(httplib::Request& request, const std::string& path, const std::string& body,
                 ReplySink& sink);

}  // namespace http
}  // namespace Osmer_Framework
