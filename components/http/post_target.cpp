#include "post_target.h"

#include "per_thread.h"

namespace Osmer_Framework {
namespace http {

namespace {

struct LastTarget {
    std::string text;  // the URL as given
    PostTarget target;
    bool parsed = false;
};

}  // namespace

const PostTarget* TargetFor(const std::string& url)
{
    LastTarget& t_last = PerThread<LastTarget>();
    if (t_last.parsed && t_last.text == url) {
        return &t_last.target;
    }
    t_last.parsed = false;
    auto parsed = ParseUrl(url);
    if (!parsed) {
        return nullptr;
    }
    t_last.text = url;
    t_last.target.origin = parsed->OriginKey();
    t_last.target.url = std::move(*parsed);
    t_last.parsed = true;
    return &t_last.target;
}

}  // namespace http
}  // namespace Osmer_Framework
