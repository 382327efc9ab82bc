#include "post_request.h"

#include <cstdlib>

namespace Osmer_Framework {
namespace http {

namespace {

// httplib copies a request's own body into the request and then copies the whole request once
// more per send (to retry after a redirect), so a 5 MB photo would be resident three times. A
// content provider writes it from the caller's string instead. An empty body keeps the plain
// path, which sends "Content-Length: 0" just the same.
void StreamBody(httplib::Request& request, const std::string& body)
{
    if (body.empty()) {
        return;
    }
    request.content_length_ = body.size();
    request.content_provider_ = [text = &body](std::size_t offset, std::size_t length,
                                               httplib::DataSink& sink) {
        return sink.write(text->data() + offset, length);
    };
}

// Each callback captures one pointer, so std::function keeps it inline and the per-send copy of
// the request allocates nothing for it.
void ReceiveInto(httplib::Request& request, ReplySink& sink)
{
    request.response_handler = [state = &sink](const httplib::Response& head) {
        const std::string length = head.get_header_value("Content-Length");
        state->tooLarge =
            !length.empty() && std::strtoull(length.c_str(), nullptr, 10) > state->cap;
        return !state->tooLarge;
    };
    request.content_receiver = [state = &sink](const char* data, std::size_t size, uint64_t,
                                               uint64_t) {
        state->tooLarge = state->reply->size() + size > state->cap;
        if (!state->tooLarge) {
            state->reply->append(data, size);
        }
        return !state->tooLarge;
    };
}

}  // namespace

void PreparePost(httplib::Request& request, const std::string& path, const std::string& body,
                 ReplySink& sink)
{
    request.method = "POST";
    request.path = path;
    // Not form-urlencoded: httplib-based peers cap such bodies at 8 KiB, and ours are not
    // encoded anyway.
    request.set_header("Content-Type", "text/plain");
    StreamBody(request, body);
    ReceiveInto(request, sink);
}

}  // namespace http
}  // namespace Osmer_Framework
