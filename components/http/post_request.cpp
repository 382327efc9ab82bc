#include "post_request.h"

namespace Osmer_Framework {
namespace http {

namespace {

// Below this a copy costs less than the content provider's per-send set-up (httplib builds a
// DataSink with an ostream for it).
constexpr std::size_t kStreamedBodyBytes = 16 * 1024;

// httplib copies a request's own body into the request and then copies the whole request once
// more per send (to retry after a redirect), so a 5 MB photo would be resident three times. A
// content provider writes a large body from the caller's string instead.
void SetBody(httplib::Request& request, const std::string& body)
{
    if (body.size() < kStreamedBodyBytes) {
        request.body = body;
        return;
    }
    request.content_length_ = body.size();
    request.content_provider_ = [text = &body](std::size_t offset, std::size_t length,
                                               httplib::DataSink& sink) {
        return sink.write(text->data() + offset, length);
    };
}

// The callback captures one pointer, so std::function keeps it inline and the per-send copy of
// the request allocates nothing for it. The cap is checked as the body arrives, not against the
// announced Content-Length: that case-insensitive header look-up was a third of this client's own
// work per request, and an oversized answer is still cut off one read past the cap.
void ReceiveInto(httplib::Request& request, ReplySink& sink)
{
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
    SetBody(request, body);
    ReceiveInto(request, sink);
}

}  // namespace http
}  // namespace Osmer_Framework
