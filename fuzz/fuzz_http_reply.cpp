// Any bytes a gateway may send as the answer to a POST, through the client's reply reader: fed
// whole and fed in slices, the two verdicts must agree and every limit must hold.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "reply_reader.h"

using Osmer_Framework::http::ReplyLimits;
using Osmer_Framework::http::ReplyReader;
using Osmer_Framework::http::ReplyState;

namespace {

struct Verdict {
    ReplyState state;
    int status;
    bool keepAlive;
    std::string body;
};

Verdict Read(const char* data, std::size_t size, std::size_t step, const ReplyLimits& limits)
{
    std::string body;
    ReplyReader reader(limits, body);
    std::size_t offset = 0;
    while (offset < size && !reader.Finished()) {
        const std::size_t slice = step < size - offset ? step : size - offset;
        const std::size_t used = reader.Feed(data + offset, slice);
        if (used > slice || (used < slice && !reader.Finished())) {
            std::abort();
        }
        offset += used;
    }
    reader.FeedEnd();
    if (body.size() > limits.maxBodyBytes || !reader.Finished()) {
        std::abort();
    }
    return Verdict{reader.State(), reader.Status(), reader.KeepAlive(), body};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1) {
        return 0;
    }
    const std::size_t step = 1 + data[0] % 16;
    const char* reply = reinterpret_cast<const char*>(data + 1);
    const ReplyLimits limits{64, 512, 1024};
    const Verdict whole = Read(reply, size - 1, size, limits);
    const Verdict sliced = Read(reply, size - 1, step, limits);
    // A failed answer's partial body is thrown away by the client, so only a whole one must agree.
    const bool bodiesDiffer = whole.state == ReplyState::Complete && whole.body != sliced.body;
    if (whole.state != sliced.state || whole.status != sliced.status ||
        whole.keepAlive != sliced.keepAlive || bodiesDiffer) {
        std::abort();
    }
    return 0;
}
